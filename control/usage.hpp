#pragma once

namespace quorvex {

// The --help text, kept in one place (the README shows it too).
extern const char* const kUsageText;
extern const char* const kVersionText;

}  // namespace quorvex
