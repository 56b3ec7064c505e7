#include "control/folder_lock.hpp"
namespace quorvex {
bool LockWorkingFolder() {
  return true;
}  // stub
}  // namespace quorvex
