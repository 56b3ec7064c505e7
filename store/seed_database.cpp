#include "store/seed_database.hpp"
namespace quorvex {
int32_t LoadSeedDatabase(int32_t) {
  return 0;
}  // stub
}  // namespace quorvex
