#include <gtest/gtest.h>

#include "report/iteration_rate.hpp"

namespace quorvex {
namespace {

struct Case {
  const char* what;
  int32_t iteration, save, nemb;  // CURRENTITERATION, CURRENTSAVE, CURRENTNEMB
  std::optional<double> checkpoint, stats;
  int64_t iterations;  // 0: not known
  double from;
};

// SAVE=10, NEMB=50; PARAMS.INI written at 10000.
TEST(IterationRate, CountersAndFileTimesThatAgree) {
  const Case cases[] = {
      {"step end after a save point", 0, 4, 30, 9000, std::nullopt, 4, 9000},
      {"step end after a save point after a pass", 0, 4, 30, 9000, 5000, 30, 5000},
      {"step end after a cross-reduction", 0, 6, 6, 8000, 8500, 6, 8500},
      {"its pass ended before the checkpoint", 0, 6, 6, 8000, 7000, 0, 0},
      {"save point after a cross-reduction", 7, 0, 29, 10000.2, 7000, 30, 7000},
      {"stop after a cross-reduction", 7, 3, 29, 10000.2, 7000, 29, 7000},
      {"cross-reduction point", 7, 3, 0, 10000.2, 7000, 0, 0},
      {"its pass still running", 7, 3, 29, 10000.2, 10001, 0, 0},
      {"mid-step without checkpoint", 7, 3, 29, 9000, 5000, 0, 0},
      {"step end right at a save point", 0, 0, 30, 9999.9, std::nullopt, 0, 0},
      {"the same after a pass", 0, 0, 30, 9999.9, 5000, 30, 5000},
      {"no cross-reduction line", 7, 0, 29, 10000.2, std::nullopt, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Parameters p = DefaultParameters();
    p.SAVE = 10;
    p.NEMB = 50;
    p.CURRENTITERATION = c.iteration;
    p.CURRENTSAVE = c.save;
    p.CURRENTNEMB = c.nemb;
    std::optional<IterationRate> rate =
        EstimateIterationRate(p, RunFileTimes{10000, c.checkpoint, c.stats});
    ASSERT_EQ(rate.has_value(), c.iterations != 0);
    if (!rate) continue;
    EXPECT_EQ(rate->iterations, c.iterations);
    EXPECT_EQ(rate->from, c.from);
    EXPECT_EQ(rate->to, 10000);
  }
}

TEST(IterationRate, SchedulesThatAreOff) {
  Parameters p = DefaultParameters();
  p.SAVE = 0;  // CURRENTSAVE stays 0: only the cross-reduction marks a span
  p.NEMB = 50;
  p.CURRENTNEMB = 20;
  std::optional<IterationRate> rate = EstimateIterationRate(p, RunFileTimes{3600, 1700, 1800});
  ASSERT_TRUE(rate.has_value());
  EXPECT_EQ(rate->PerHour(), 40);
  p.WEIGHT = 0;  // no STATS.TXT line to mark the end of a pass
  EXPECT_FALSE(EstimateIterationRate(p, RunFileTimes{3600, 1700, 1800}).has_value());
  p.NEMB = 0;
  p.WEIGHT = 8;
  EXPECT_FALSE(EstimateIterationRate(p, RunFileTimes{3600, 1700, 1800}).has_value());
}

}  // namespace
}  // namespace quorvex
