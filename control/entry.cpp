#include "control/entry.hpp"
namespace quorvex {
int ProgramEntry(int, char**) {
  return 0;
}  // stub
}  // namespace quorvex
