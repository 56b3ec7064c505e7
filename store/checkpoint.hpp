#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "base/file_reading.hpp"
#include "store/solution_record.hpp"

namespace quorvex {

// What the last LoadCheckpoint found out about the file it read.
struct CheckpointState {
  // DATA<damagedPower>.BIN was damaged (bad term count, cut short): its
  // original is kept as DATA<k>.BIN.bad before the next save writes over it.
  bool damaged = false;
  int32_t damagedPower = 0;
};
extern CheckpointState gCheckpoint;

// A new start knows of no damaged checkpoint yet.
void ForgetCheckpointDamage();

// "DATA<k>.BIN"
std::string CheckpointName(int32_t power);
// Writes the whole store to DATA<k>.BIN atomically; a failed write ends the
// process with "Cannot write DATA<k>.BIN" and status 1.
void SaveCheckpoint(int32_t power);
struct CheckpointReading : FileReading {
  int32_t total = 0;     // entries the file says it holds
  int32_t read = 0;      // entries handed over
  bool damaged = false;  // a bad term count or the end of the file came before `total`
};
// Hands every entry of DATA<k>.BIN to `take`, printing the loader's progress
// lines when asked. Stops at a damaged entry (the ones before it are handed
// over) and at one whose Terms no solution can have (`failure`).
// `folder`: another folder's checkpoint instead of this one's.
CheckpointReading ReadCheckpoint(int32_t power, const SolutionSink& take, bool showProgress,
                                 const std::string& folder = "");
// Reads DATA<k>.BIN into the store (quietly). Returns 0, or 1 when a stop cut
// the reading short.
int32_t LoadCheckpoint(int32_t power);

// Reads a little-endian 32-bit value; false at end of file.
bool ReadInt32(std::FILE* stream, int32_t& value);

}  // namespace quorvex
