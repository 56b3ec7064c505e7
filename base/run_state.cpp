#include "base/run_state.hpp"

namespace quorvex {

RunState gRun;

}  // namespace quorvex
