#include "store/checkpoint.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "base/atomic_file.hpp"
#include "base/console.hpp"
#include "base/fatal_error.hpp"
#include "base/file_reading.hpp"
#include "base/run_state.hpp"
#include "store/record_codec.hpp"
#include "store/solution_store.hpp"

namespace quorvex {

CheckpointState gCheckpoint;

namespace {

// Copies `from` to a new file `to` (never over an existing one). Returns 0 or
// the errno of the failure.
int CopyToNewFile(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (out < 0) {
    int error = errno;
    ::close(in);
    return error;
  }
  char buffer[65536];
  int error = 0;
  for (;;) {
    ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got < 0) error = errno;
      break;
    }
    for (ssize_t done = 0; done < got && error == 0;) {
      ssize_t put = ::write(out, buffer + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno != EINTR) error = errno;
      if (put > 0) done += put;
    }
    if (error != 0) break;
  }
  if (error == 0 && ::fsync(out) != 0) error = errno;
  if (::close(out) != 0 && error == 0) error = errno;
  ::close(in);
  if (error != 0) ::unlink(to.c_str());
  return error;
}

// Keeps the damaged file under a free name DATA<k>.BIN.bad, .bad.1, ... before
// a save replaces it: a person may still recover entries from it. A second
// name for the same file is enough, since the save renames a new file over
// the old name; a copy serves where the file system has no hard links.
void KeepDamagedOriginal(const std::string& name) {
  struct stat info;
  if (::stat(name.c_str(), &info) != 0) return;  // nothing left to keep
  for (int attempt = 0; attempt < 1000; ++attempt) {
    char suffix[32];
    if (attempt == 0) {
      std::snprintf(suffix, sizeof suffix, ".bad");
    } else {
      std::snprintf(suffix, sizeof suffix, ".bad.%d", attempt);
    }
    const std::string keep = name + suffix;
    int error = ::link(name.c_str(), keep.c_str()) == 0 ? 0 : errno;
    if (error != 0 && error != EEXIST) error = CopyToNewFile(name, keep);
    if (error == EEXIST) continue;
    if (error != 0) break;
    Print("Damaged %s kept as %s\n", name.c_str(), keep.c_str());
    return;
  }
  StopOnFailedWrite(name + ".bad");
}

}  // namespace

void ForgetCheckpointDamage() {
  gCheckpoint = CheckpointState{};
}

std::string CheckpointName(int32_t power) {
  return "DATA" + std::to_string(power) + ".BIN";
}

bool ReadInt32(std::FILE* stream, int32_t& value) {
  unsigned char bytes[4];
  if (std::fread(bytes, 1, 4, stream) != 4) return false;
  const uint32_t bits = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                        static_cast<uint32_t>(bytes[2]) << 16 |
                        static_cast<uint32_t>(bytes[3]) << 24;
  value = static_cast<int32_t>(bits);
  return true;
}

void SaveCheckpoint(int32_t power) {
  const std::string name = CheckpointName(power);
  if (gCheckpoint.damaged && gCheckpoint.damagedPower == power) {
    KeepDamagedOriginal(name);
    gCheckpoint.damaged = false;
  }

  std::size_t size = 4;
  for (const SolutionRecord& slot : gStore.slots) {
    if (slot.termCount != 0) size += 4 + 8 * static_cast<std::size_t>(slot.termCount);
  }
  std::string bytes;
  bytes.reserve(size);
  AppendInt32(bytes, gStore.count);
  int32_t written = 0;
  std::vector<int32_t> words;
  for (const SolutionRecord& slot : gStore.slots) {
    if (slot.termCount == 0) continue;
    ++written;
    words.clear();
    AppendRecord(words, slot);
    for (const int32_t word : words) AppendInt32(bytes, word);
  }
  // Written beside the old file and renamed over it: a crash or a full disk
  // leaves the previous checkpoint whole.
  if (!ReplaceFileAtomically(name, bytes.data(), bytes.size())) StopOnFailedWrite(name);
  if (written != gStore.count) FatalError("Savefile gone wrong\n");
}

CheckpointReading ReadCheckpoint(int32_t power, const SolutionSink& take, bool showProgress,
                                 const std::string& folder) {
  CheckpointReading reading;
  const std::string name =
      folder.empty() ? CheckpointName(power) : folder + "/" + CheckpointName(power);
  FilePtr file(std::fopen(name.c_str(), "rb"));
  if (!file) {
    reading.missing = true;
    return reading;
  }
  // A negative count cannot have been written; like a count cut short, it
  // marks the file as damaged.
  reading.damaged = !ReadInt32(file.get(), reading.total) || reading.total < 0;
  SolutionRecord record;
  while (!reading.damaged && reading.read < reading.total) {
    if (StopNow()) {
      reading.stopped = true;
      return reading;
    }
    if (showProgress && reading.read % 10 == 0) {
      Print("%d/%d\r", reading.read, reading.total);
      FlushConsole();
    }
    switch (
        ReadRecordWords([&file](int32_t& value) { return ReadInt32(file.get(), value); }, record)) {
      case RecordRead::Damaged:
        reading.damaged = true;
        continue;
      case RecordRead::Corrupt:
        reading.failure = "Corrupted data in the file\n";
        return reading;
      case RecordRead::Read:
        ++reading.read;
        SortTerms(record);
        take(record);
        break;
    }
  }
  return reading;
}

int32_t LoadCheckpoint(int32_t power) {
  const std::string name = CheckpointName(power);
  gCheckpoint.damaged = false;
  CheckpointReading reading = ReadCheckpoint(
      power, [](SolutionRecord& record) { InsertRecord(record, nullptr, InsertQuiet); }, true);
  if (reading.missing) {
    Print("No %s file\n", name.c_str());
    return 0;
  }
  if (reading.stopped) return 1;
  EndOnFailedReading(reading);
  if (reading.damaged) {
    Print("Corrupted bin file, continuing\n");
    gCheckpoint.damaged = true;
    gCheckpoint.damagedPower = power;
  }
  Print("%s loaded\n", name.c_str());
  return 0;
}

}  // namespace quorvex
