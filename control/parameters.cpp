#include "control/parameters.hpp"

#include <cstdio>
#include <string>

#include "control/atomic_file.hpp"
#include "control/fatal_error.hpp"
#include "control/line_reader.hpp"
#include "search/search_iteration.hpp"

namespace quorvex {

Parameters gParams;

namespace {

struct KeyEntry {
  const char* key;  // with its "=", compared without regard to letter case
  int32_t Parameters::*value;
};

// The order in which a line is compared with the keys. No key is a prefix of
// another (the "=" is part of each), so at most one matches.
constexpr KeyEntry kKeys[] = {
    {"POWER=", &Parameters::POWER},
    {"START=", &Parameters::START},
    {"END=", &Parameters::END},
    {"BLOCKSIZE=", &Parameters::BLOCKSIZE},
    {"WORKTERMS=", &Parameters::WORKTERMS},
    {"ITERATIONS=", &Parameters::ITERATIONS},
    {"CURRENTITERATION=", &Parameters::CURRENTITERATION},
    {"NEMB=", &Parameters::NEMB},
    {"CURRENTNEMB=", &Parameters::CURRENTNEMB},
    {"SAVE=", &Parameters::SAVE},
    {"CURRENTSAVE=", &Parameters::CURRENTSAVE},
    {"NEMBPASS=", &Parameters::NEMBPASS},
    {"RESTART=", &Parameters::RESTART},
    {"WEIGHT=", &Parameters::WEIGHT},
    {"PRIORITY=", &Parameters::PRIORITY},
};

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Number of characters of the key matched at the start of the line, or 0.
size_t MatchKey(const char* line, const char* key) {
  size_t i = 0;
  for (; key[i] != '\0'; ++i) {
    if (UpperAscii(line[i]) != key[i]) return 0;
  }
  return i;
}

// MaxBase indexes the base pool and WorkTerms the per-iteration tables, so
// values beyond them are refused before a search can reach those tables.
std::string LimitFailure(const Parameters& p) {
  struct Upper {
    const char* key;
    int32_t value;
    int32_t limit;
  };
  const Upper uppers[] = {{"START", p.START, kBasePoolSize},
                          {"END", p.END, kBasePoolSize},
                          {"WORKTERMS", p.WORKTERMS, kMaxWorkTerms},
                          {"RESTART", p.RESTART, kBasePoolSize}};
  char message[128];
  if (p.BLOCKSIZE < 2) {
    std::snprintf(message, sizeof message, "BLOCKSIZE=%d is below its limit 2\n", p.BLOCKSIZE);
    return message;
  }
  for (const Upper& u : uppers) {
    if (u.value > u.limit) {
      std::snprintf(message, sizeof message, "%s=%d is above its limit %d\n", u.key, u.value,
                    u.limit);
      return message;
    }
  }
  return {};
}

}  // namespace

FileReading ReadParameters(Parameters& out) {
  FileReading reading;
  std::FILE* file = std::fopen(kParamsFile, "r");
  if (file == nullptr) {
    reading.missing = true;
    return reading;
  }
  out = Parameters{};
  int32_t length;
  while ((length = TryLineReader(file, kLineLimit)) >= 0) {
    ++reading.line;
    const char* line = gLine.LineBuffer;
    if (line[0] == ';' || line[0] == '\0') continue;
    const KeyEntry* found = nullptr;
    size_t keyLength = 0;
    for (const KeyEntry& entry : kKeys) {
      keyLength = MatchKey(line, entry.key);
      if (keyLength != 0) {
        found = &entry;
        break;
      }
    }
    if (found == nullptr) {
      reading.failure = "Bad parameter\n";
      break;
    }
    gLine.LineCursor = line + keyLength;
    out.*(found->value) = ReadDecimal();
  }
  std::fclose(file);
  if (length == kLineTooLong) reading.RefuseLongLine();
  if (!reading.failure.empty()) return reading;
  reading.line = 0;  // what follows concerns the whole file
  if (out.POWER < 0 || out.START < 0 || out.END < 0 || out.BLOCKSIZE < 0 || out.WORKTERMS < 0 ||
      out.ITERATIONS < 0) {
    reading.failure = "Missing parameter\n";
  } else {
    reading.failure = LimitFailure(out);
  }
  return reading;
}

int32_t LoadParameters() {
  Parameters read;
  FileReading reading = ReadParameters(read);
  if (reading.missing) {
    std::printf("No %s file\n", kParamsFile);
    return 1;
  }
  if (reading.longLine) StopAtLongLine(kLineLimit);
  if (!reading.failure.empty()) FatalError(reading.failure.c_str());
  gParams = read;
  return 0;
}

void SaveParameters() {
  const Parameters& p = gParams;
  std::string text;
  auto line = [&text](const char* key, int32_t value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s=%d\n", key, value);
    text += buffer;
  };
  line("POWER", p.POWER);
  line("START", p.START);
  line("END", p.END);
  // The reader takes no sign, so a negative RESTART is expressed by its absence.
  if (p.RESTART >= 0) line("RESTART", p.RESTART);
  line("BLOCKSIZE", p.BLOCKSIZE);
  line("WORKTERMS", p.WORKTERMS);
  line("ITERATIONS", p.ITERATIONS);
  line("CURRENTITERATION", p.CURRENTITERATION);
  line("NEMB", p.NEMB);
  line("NEMBPASS", p.NEMBPASS);
  line("CURRENTNEMB", p.CURRENTNEMB);
  line("SAVE", p.SAVE);
  line("CURRENTSAVE", p.CURRENTSAVE);
  line("WEIGHT", p.WEIGHT);
  line("PRIORITY", p.PRIORITY);
  if (!ReplaceFileAtomically(kParamsFile, text.data(), text.size())) {
    std::printf("Cannot write %s\n", kParamsFile);
    ExitProcess(1);
  }
}

}  // namespace quorvex
