#include "control/run_loop.hpp"
namespace quorvex {
int RunLoop(IterationFn) {
  return 0;
}  // stub
}  // namespace quorvex
