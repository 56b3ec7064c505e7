#include "control/parameters.hpp"
namespace quorvex {
Parameters gParams;
int32_t LoadParameters() {
  return 1;
}  // stub
void SaveParameters() {}  // stub
}  // namespace quorvex
