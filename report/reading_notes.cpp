#include "report/reading_notes.hpp"

#include <cstdio>

#include "base/line_reader.hpp"

namespace quorvex {

namespace {

std::string WithoutLineEnd(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// "NAME, line N: what stopped the reading".
std::string Failure(const std::string& name, const FileReading& reading) {
  std::string where = name + (reading.line > 0 ? ", line " + std::to_string(reading.line) : "");
  std::string what = reading.longLine
                         ? "longer than " + std::to_string(kLineLimit - 1) + " characters"
                         : WithoutLineEnd(reading.failure);
  return where + ": " + what;
}

}  // namespace

void ReadingNotes::Add(const std::string& name, const FileReading& reading) {
  if (reading.missing) notes.push_back("No " + name + " file");
  if (reading.failure.empty()) return;
  damage.push_back(Failure(name, reading) + ". The rest of " + name + " is left out.");
}

void ReadingNotes::Add(const std::string& name, const ResultLogReading& reading) {
  Add(name, static_cast<const FileReading&>(reading));
  if (!reading.tornLine.empty()) {
    notes.push_back(
        "Last line of " + name +
        " has no line end yet (an append under way, or cut off), left out: " + reading.tornLine);
  }
}

void ReadingNotes::Add(const std::string& name, const CheckpointReading& reading) {
  if (!reading.failure.empty()) {
    damage.push_back(name + ", entry " + std::to_string(reading.read + 1) + ": " +
                     WithoutLineEnd(reading.failure) + ". The rest of " + name + " is left out.");
  } else if (reading.damaged) {
    damage.push_back(name + " is damaged after " + std::to_string(reading.read) + " of " +
                     std::to_string(reading.total) + " entries. The rest is left out.");
  }
  if (reading.missing) notes.push_back("No " + name + " file");
}

bool ReadingNotes::Print() const {
  for (const std::string& note : notes) std::fprintf(stderr, "%s\n", note.c_str());
  for (const std::string& line : damage) std::fprintf(stderr, "%s\n", line.c_str());
  return !damage.empty();
}

bool ReadReportParameters(Parameters& out) {
  FileReading reading = ReadParameters(out);
  if (reading.missing) {
    std::fprintf(stderr, "No %s file: run this in the folder of a search\n", kParamsFile);
    return false;
  }
  if (reading.failure.empty()) return true;
  std::fprintf(stderr, "Cannot read %s\n", Failure(kParamsFile, reading).c_str());
  return false;
}

}  // namespace quorvex
