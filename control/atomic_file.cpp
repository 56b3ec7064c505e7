#include "control/atomic_file.hpp"
namespace quorvex {
bool ReplaceFileAtomically(const std::string&, const void*, std::size_t) {
  return false;
}  // stub
}  // namespace quorvex
