#include "control/signals.hpp"
namespace quorvex {
void InstallStopSignals() {}  // stub
}  // namespace quorvex
