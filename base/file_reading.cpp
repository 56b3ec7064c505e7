#include "base/file_reading.hpp"

#include "base/fatal_error.hpp"

namespace quorvex {

void EndOnFailedReading(const FileReading& reading) {
  if (reading.longLine) StopAtLongLine(reading.refusedLine);
  if (!reading.failure.empty()) FatalError(reading.failure.c_str());
}

}  // namespace quorvex
