#pragma once

#include <cstdint>
#include <optional>

#include "run/parameters.hpp"

namespace quorvex {

// Modification times, in seconds, of the files a run rewrites at known
// points: PARAMS.INI, DATA<k>.BIN and STATS.TXT (absent: no such file).
struct RunFileTimes {
  double params = 0;
  std::optional<double> checkpoint;
  std::optional<double> stats;
};

// Iterations that ran between two of those times, and nothing else.
struct IterationRate {
  int64_t iterations = 0;
  double from = 0;
  double to = 0;
  double PerHour() const { return static_cast<double>(iterations) * 3600 / (to - from); }
};

// The search speed that the counters of PARAMS.INI and the file times show,
// when they show one. The run leaves two kinds of marks:
// - after a save point, DATA<k>.BIN is written and CURRENTSAVE counts the
//   iterations since;
// - after a cross-reduction point, the pass's last STATS.TXT line is written
//   and CURRENTNEMB counts the iterations since.
// PARAMS.INI rewritten later than such a mark, at the end of a MaxBase step,
// a save point or a stop, gives the iterations of that span; of two such
// spans the one with more iterations counts. A stop and a restart within the
// span would make the figure wrong; nothing in the folder tells of them.
std::optional<IterationRate> EstimateIterationRate(const Parameters& p, const RunFileTimes& t);

}  // namespace quorvex
