#include "store/best_right_table.hpp"
namespace quorvex {
BestSizeTable gBest;
void ResetBestRight() {}  // stub
bool BestRightImproves(int32_t, int32_t) {
  return false;
}  // stub
void LowerBestRight(int32_t, int32_t) {}  // stub
void RecomputeBestRight() {}              // stub
double RecordNote(int32_t, int32_t) {
  return 0;
}  // stub
}  // namespace quorvex
