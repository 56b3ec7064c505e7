#include "control/run_state.hpp"

namespace quorvex {

RunState gRun;

}  // namespace quorvex
