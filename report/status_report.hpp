#pragma once

namespace quorvex {

// `quorvex status`: where the run in the current folder stands, from its
// files alone. Only reads; takes no lock. Returns the exit status.
int StatusReport();

}  // namespace quorvex
