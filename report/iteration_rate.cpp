#include "report/iteration_rate.hpp"

namespace quorvex {

std::optional<IterationRate> EstimateIterationRate(const Parameters& p, const RunFileTimes& t) {
  const bool saves = p.SAVE != 0;
  // With WEIGHT 0 a cross-reduction writes no line to STATS.TXT.
  const bool reductions = p.NEMB != 0 && p.WEIGHT != 0 && t.stats && *t.stats < t.params;
  IterationRate rate;
  rate.to = t.params;
  if (t.checkpoint && *t.checkpoint >= t.params) {
    // DATA<k>.BIN followed PARAMS.INI: a save point, a cross-reduction point
    // or a stop. At a cross-reduction point (CURRENTNEMB 0) the last STATS.TXT
    // line may belong to the pass a stop cut short, so it marks nothing.
    if (!reductions || p.CURRENTNEMB == 0) return std::nullopt;
    // A save point writes CURRENTNEMB before counting its own iteration in it.
    rate.iterations = p.CURRENTNEMB + (saves && p.CURRENTSAVE == 0 ? 1 : 0);
    rate.from = *t.stats;
  } else {
    // PARAMS.INI alone: the end of a MaxBase step, which leaves
    // CURRENTITERATION 0. The later of the two marks is the one with fewer
    // iterations since; on the same iteration the cross-reduction came last.
    if (p.CURRENTITERATION != 0) return std::nullopt;
    const bool nembLast = !saves || p.CURRENTNEMB <= p.CURRENTSAVE;
    if (reductions && nembLast && (!t.checkpoint || *t.stats >= *t.checkpoint)) {
      rate.iterations = p.CURRENTNEMB;
      rate.from = *t.stats;
    } else if (saves && t.checkpoint && (p.NEMB == 0 || !nembLast)) {
      rate.iterations = p.CURRENTSAVE;
      rate.from = *t.checkpoint;
    } else {
      return std::nullopt;
    }
  }
  if (rate.iterations <= 0 || rate.to <= rate.from) return std::nullopt;
  return rate;
}

}  // namespace quorvex
