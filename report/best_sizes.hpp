#pragma once

#include <cstdint>
#include <vector>

#include "base/file_reading.hpp"
#include "store/checkpoint.hpp"
#include "store/result_log.hpp"
#include "store/solution_record.hpp"

namespace quorvex {

// The smallest right count known for one left count, with a solution that
// has it.
struct BestSize {
  int32_t m;
  int32_t n;
  // Canonical, with the Terms of a repeated base in one fixed order and a
  // balanced solution turned so its largest base stands on the left.
  SolutionRecord witness;
  bool seeded;  // the witness is a solution of DATABASE.TXT, in whatever form it is written there
};

// The best sizes of every solution a folder knows for one power, and how
// reading each of its files went.
struct BestSizes {
  std::vector<BestSize> rows;  // one per left count with a solution, by increasing m
  FileReading seeds;
  int32_t longSeeds = 0;  // DATABASE.TXT solutions of 200 Terms or more, left out
  ResultLogReading log;
  CheckpointReading checkpoint;
};

// Reads DATABASE.TXT, DATA<k>.TXT and DATA<k>.BIN and keeps, for each left
// count m from 1 to 9999 (those the store keeps), the solutions with the
// fewest right powers. Among them the witness is the one with the smallest
// largest base, then the smaller bases compared from the largest down, then
// fewer Terms, then the smaller multiplicities in Term order. Only reads: a
// damaged file ends its own reading, never the process.
BestSizes FindBestSizes(int32_t power);

}  // namespace quorvex
