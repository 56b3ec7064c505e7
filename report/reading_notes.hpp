#pragma once

#include <string>
#include <vector>

#include "base/file_reading.hpp"
#include "run/parameters.hpp"
#include "store/checkpoint.hpp"
#include "store/result_log.hpp"

namespace quorvex {

// What a report tells about the files it read. Notes are worth knowing;
// damage means the report leaves something out.
struct ReadingNotes {
  std::vector<std::string> notes;
  std::vector<std::string> damage;

  void Add(const std::string& name, const FileReading& reading);
  void Add(const std::string& name, const ResultLogReading& reading);
  void Add(const std::string& name, const CheckpointReading& reading);
  // Prints every note and damage line on stderr; true when there was damage.
  bool Print() const;
};

// Reads PARAMS.INI for a report; false, with the reason on stderr, when it
// is missing or cannot be read.
bool ReadReportParameters(Parameters& out);

}  // namespace quorvex
