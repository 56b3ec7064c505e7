#include "store/result_log.hpp"
namespace quorvex {
std::string ResultLogName(int32_t power) {
  return "DATA" + std::to_string(power) + ".TXT";
}
void LogSolution(const SolutionRecord&) {}  // stub
int32_t LoadResultLog(int32_t) {
  return 0;
}  // stub
}  // namespace quorvex
