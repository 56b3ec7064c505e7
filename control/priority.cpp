#include "control/priority.hpp"
namespace quorvex {
int32_t PriorityLevel(int32_t) {
  return 10;
}  // stub
bool PriorityIsIdleClass(int32_t) {
  return false;
}  // stub
int32_t NiceForLevel(int32_t) {
  return 0;
}  // stub
void ApplyPriority(int32_t) {}  // stub
}  // namespace quorvex
