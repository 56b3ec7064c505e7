#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace quorvex {

// What the last LoadCheckpoint found out about the file it read.
struct CheckpointState {
  // DATA<damagedPower>.BIN was damaged (bad term count, cut short): its
  // original is kept as DATA<k>.BIN.bad before the next save writes over it.
  bool damaged = false;
  int32_t damagedPower = 0;
};
extern CheckpointState gCheckpoint;

// "DATA<k>.BIN"
std::string CheckpointName(int32_t power);
// Writes the whole store to DATA<k>.BIN atomically; a failed write ends the
// process with "Cannot write DATA<k>.BIN" and status 1.
void SaveCheckpoint(int32_t power);
// Reads DATA<k>.BIN into the store (quietly). Returns 0, or 1 when a stop cut
// the reading short.
int32_t LoadCheckpoint(int32_t power);

void WriteInt32(int32_t value, std::FILE* stream);
// Reads a little-endian 32-bit value; false at end of file.
bool ReadInt32(std::FILE* stream, int32_t& value);

}  // namespace quorvex
