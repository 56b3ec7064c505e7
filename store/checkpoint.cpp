#include "store/checkpoint.hpp"
namespace quorvex {
std::string CheckpointName(int32_t power) {
  return "DATA" + std::to_string(power) + ".BIN";
}
void SaveCheckpoint(int32_t) {}  // stub
int32_t LoadCheckpoint(int32_t) {
  return 0;
}  // stub
void WriteInt32(int32_t, std::FILE*) {}  // stub
bool ReadInt32(std::FILE*, int32_t& value) {
  value = 0;
  return false;
}  // stub
}  // namespace quorvex
