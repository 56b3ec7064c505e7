#include "run/parameters.hpp"

#include <cstdio>
#include <string>

#include "base/atomic_file.hpp"
#include "base/fatal_error.hpp"
#include "base/line_reader.hpp"
#include "search/search_limits.hpp"

namespace quorvex {

Parameters gParams = DefaultParameters();

namespace {

// Every key of the file, in the order in which a line is compared with them.
// No key is a prefix of another (the "=" is part of each), so at most one
// matches. `written` is the key's place in the file the run writes.
struct Key {
  const char* name;
  int32_t Parameters::*value;
  int32_t initial;  // the value before the file is read
  bool required;    // must be given: the value must not be negative after reading
  int32_t written;
  Limits limits;  // checked when given (RESTART only when not negative)
  const char* help;
};

constexpr Limits kAny{INT32_MIN, INT32_MAX};

constexpr Key kKeys[] = {
    {"POWER", &Parameters::POWER, -1, true, 0, kPowerLimits, "the power k"},
    {"START", &Parameters::START, -1, true, 1, kMaxBaseLimits, "MaxBase now; it steps toward END"},
    {"END", &Parameters::END, -1, true, 2, kMaxBaseLimits,
     "MaxBase where the walk ends (not searched)"},
    {"BLOCKSIZE", &Parameters::BLOCKSIZE, -1, true, 4, kBlockSizeLimits,
     "block size of the lattice reduction"},
    {"WORKTERMS", &Parameters::WORKTERMS, -1, true, 5, kWorkTermsLimits,
     "bases per iteration; 0 = automatic"},
    {"ITERATIONS", &Parameters::ITERATIONS, -1, true, 6, kAny, "iterations per MaxBase"},
    {"CURRENTITERATION", &Parameters::CURRENTITERATION, 0, false, 7, kAny,
     "iterations done at this MaxBase"},
    {"NEMB", &Parameters::NEMB, 0, false, 8, kAny, "cross-reduce every NEMB iterations; 0 = never"},
    {"CURRENTNEMB", &Parameters::CURRENTNEMB, 0, false, 10, kAny,
     "iterations since the last cross-reduction"},
    {"SAVE", &Parameters::SAVE, 100, false, 11, kAny, "save every SAVE iterations; 0 = never"},
    {"CURRENTSAVE", &Parameters::CURRENTSAVE, 0, false, 12, kAny, "iterations since the last save"},
    {"NEMBPASS", &Parameters::NEMBPASS, 3, false, 9, kAny,
     "most passes per cross-reduction weight"},
    {"RESTART", &Parameters::RESTART, -1, false, 3, kMaxBaseLimits,
     "MaxBase to walk again from at END"},
    {"WEIGHT", &Parameters::WEIGHT, 8, false, 13, kAny,
     "first cross-reduction weight, then halved"},
    {"PRIORITY", &Parameters::PRIORITY, 1, false, 14, kAny,
     "1: nice 19 (lowest); 2-6: only while the CPU is idle;\n"
     "                   7-10: nice 8, 6, 4, 2; other: unchanged; never raised"},
};
constexpr int32_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Number of characters of "KEY=" matched at the start of the line, or 0.
size_t MatchKey(const char* line, const char* key) {
  size_t i = 0;
  for (; key[i] != '\0'; ++i) {
    if (UpperAscii(line[i]) != key[i]) return 0;
  }
  return line[i] == '=' ? i + 1 : 0;
}

// Values beyond what a search can hold are refused at the start, before a
// search can reach the tables they would overrun.
std::string LimitFailure(const Parameters& p) {
  for (const Key& key : kKeys) {
    const int32_t value = p.*(key.value);
    if (!key.required && value < 0) continue;
    std::string refusal = LimitRefusal(key.name, value, key.limits, Naming::Key);
    if (!refusal.empty()) return refusal;
  }
  return {};
}

}  // namespace

FileReading ReadParameters(Parameters& out) {
  FileReading reading;
  FilePtr file(std::fopen(kParamsFile, "r"));
  if (!file) {
    reading.missing = true;
    return reading;
  }
  out = DefaultParameters();
  LineReader reader(file.get());
  int32_t length;
  while ((length = reader.TryNext()) >= 0) {
    ++reading.line;
    const char* line = reader.LineBuffer();
    if (line[0] == ';' || line[0] == '\0') continue;
    const Key* found = nullptr;
    size_t keyLength = 0;
    for (const Key& entry : kKeys) {
      keyLength = MatchKey(line, entry.name);
      if (keyLength != 0) {
        found = &entry;
        break;
      }
    }
    if (found == nullptr) {
      reading.failure = "Bad parameter\n";
      break;
    }
    const char* cursor = line + keyLength;
    out.*(found->value) = ReadDecimal(cursor);
  }
  if (length == kLineTooLong) reading.RefuseLongLine(reader);
  file.reset();
  if (!reading.failure.empty()) return reading;
  reading.line = 0;  // what follows concerns the whole file
  for (const Key& key : kKeys) {
    if (key.required && out.*(key.value) < 0) reading.failure = "Missing parameter\n";
  }
  if (reading.failure.empty()) reading.failure = LimitFailure(out);
  return reading;
}

int32_t LoadParameters() {
  Parameters read;
  FileReading reading = ReadParameters(read);
  if (reading.missing) {
    std::printf("No %s file\n", kParamsFile);
    return 1;
  }
  EndOnFailedReading(reading);
  gParams = read;
  return 0;
}

Parameters DefaultParameters() {
  Parameters p;
  for (const Key& key : kKeys) p.*(key.value) = key.initial;
  return p;
}

void SaveParameters() {
  const Parameters& p = gParams;
  const Key* inOrder[kKeyCount];
  for (const Key& key : kKeys) inOrder[key.written] = &key;
  std::string text;
  for (const Key* key : inOrder) {
    const int32_t value = p.*(key->value);
    // The reader takes no sign, so a negative RESTART is expressed by its absence.
    if (key->value == &Parameters::RESTART && value < 0) continue;
    text += std::string(key->name) + "=" + std::to_string(value) + "\n";
  }
  if (!ReplaceFileAtomically(kParamsFile, text.data(), text.size())) StopOnFailedWrite(kParamsFile);
}

std::string ParameterHelp() {
  const Key* inOrder[kKeyCount];
  for (const Key& key : kKeys) inOrder[key.written] = &key;
  std::string text;
  for (const Key* key : inOrder) {
    std::string given = key->required                        ? "required"
                        : key->value == &Parameters::RESTART ? "none"
                                                             : std::to_string(key->initial);
    if (key->limits.least != INT32_MIN) {
      given += key->limits.most == INT32_MAX ? ", " + std::to_string(key->limits.least) + " or more"
                                             : ", " + std::to_string(key->limits.least) + ".." +
                                                   std::to_string(key->limits.most);
    }
    char line[256];
    std::snprintf(line, sizeof line, "  %-16s %s [%s]\n", key->name, key->help, given.c_str());
    text += line;
  }
  return text;
}

}  // namespace quorvex
