#include "report/iteration_rate.hpp"

namespace quorvex {

std::optional<IterationRate> EstimateIterationRate(const Parameters& p, const RunFileTimes& t) {
  std::optional<IterationRate> best;
  auto consider = [&](int64_t iterations, double from) {
    if (iterations <= 0 || from >= t.params) return;
    if (!best || iterations > best->iterations) best = IterationRate{iterations, from, t.params};
  };
  const bool saves = p.SAVE != 0;
  // DATA<k>.BIN written after PARAMS.INI: a save point, a cross-reduction
  // point or a stop. PARAMS.INI alone: the end of a MaxBase step, which
  // leaves CURRENTITERATION 0.
  const bool withCheckpoint = t.checkpoint && *t.checkpoint >= t.params;
  if (!withCheckpoint && p.CURRENTITERATION != 0) return std::nullopt;
  // At a step end the later of the two marks is the one with fewer
  // iterations since; on the same iteration the cross-reduction came last.
  const bool saveLast = saves && (p.NEMB == 0 || p.CURRENTSAVE < p.CURRENTNEMB);

  // With WEIGHT 0 a cross-reduction writes no STATS.TXT line. CURRENTNEMB 0
  // marks a cross-reduction point, whose pass may still run or have been cut
  // short by a stop, so its last line marks nothing.
  if (p.NEMB != 0 && p.WEIGHT != 0 && t.stats && p.CURRENTNEMB > 0) {
    // A pass ends after the checkpoint that precedes it: a line older than
    // that checkpoint belongs to an earlier pass.
    const bool stale = !withCheckpoint && !saveLast && t.checkpoint && *t.stats < *t.checkpoint;
    // A save point writes CURRENTNEMB before counting its own iteration in it.
    const bool savePoint = withCheckpoint && saves && p.CURRENTSAVE == 0;
    if (!stale) consider(p.CURRENTNEMB + (savePoint ? 1 : 0), *t.stats);
  }
  if (!withCheckpoint && saveLast && t.checkpoint) consider(p.CURRENTSAVE, *t.checkpoint);
  return best;
}

}  // namespace quorvex
