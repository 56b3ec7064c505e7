#include "store/verify.hpp"
namespace quorvex {
int VerifyAll(int32_t) {
  return 0;
}  // stub
}  // namespace quorvex
