#pragma once

#include <string>

namespace quorvex {

// The --help text, kept in one place (the README shows it too).
const std::string& UsageText();
extern const char* const kVersionText;

}  // namespace quorvex
