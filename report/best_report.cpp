#include "report/best_report.hpp"

#include <cstdio>

#include "base/atomic_file.hpp"
#include "report/best_chart.hpp"
#include "report/best_sizes.hpp"
#include "report/reading_notes.hpp"
#include "store/seed_database.hpp"
#include "store/solution_notation.hpp"

namespace quorvex {

namespace {

void PrintTable(const BestSizes& sizes, int32_t power) {
  std::printf("Best sizes for k=%d from %s, %s and %s\n", power, kSeedDatabaseFile,
              ResultLogName(power).c_str(), CheckpointName(power).c_str());
  if (sizes.rows.empty()) {
    std::printf("No solutions\n");
    return;
  }
  const BestSize& last = sizes.rows.back();
  const int mWidth = std::snprintf(nullptr, 0, "%d", last.m);
  int nWidth = 1;
  int sumWidth = 3;
  for (const BestSize& row : sizes.rows) {
    nWidth = std::max(nWidth, std::snprintf(nullptr, 0, "%d", row.n));
    sumWidth = std::max(sumWidth, std::snprintf(nullptr, 0, "%lld", 0LL + row.m + row.n));
  }
  std::printf("%*s  %*s  %*s  %-12s  %s\n", mWidth, "m", nWidth, "n", sumWidth, "m+n", "source",
              "witness");
  for (const BestSize& row : sizes.rows) {
    std::printf("%*d  %*d  %*lld  %-12s  %s\n", mWidth, row.m, nWidth, row.n, sumWidth,
                0LL + row.m + row.n, row.seeded ? kSeedDatabaseFile : "search",
                FormatSolution(row.witness, power).c_str());
  }
}

}  // namespace

int BestReport(int32_t power, const std::string& svgPath) {
  if (power < 0) {
    Parameters params = DefaultParameters();
    if (!ReadReportParameters(params)) return 1;
    power = params.POWER;
  }
  const BestSizes sizes = FindBestSizes(power);
  ReadingNotes notes;
  notes.Add(kSeedDatabaseFile, sizes.seeds);
  notes.Add(ResultLogName(power), sizes.log);
  notes.Add(CheckpointName(power), sizes.checkpoint);
  if (sizes.longSeeds > 0) {
    notes.notes.push_back(std::to_string(sizes.longSeeds) +
                          " solutions of 200 Terms or more in DATABASE.TXT are left out");
  }
  std::fflush(stdout);
  const bool damaged = notes.Print();

  if (svgPath.empty()) {
    PrintTable(sizes, power);
  } else {
    const std::string svg = BestChartSvg(sizes.rows, power);
    if (!ReplaceFileAtomically(svgPath, svg.data(), svg.size())) {
      std::fprintf(stderr, "Cannot write %s\n", svgPath.c_str());
      return 1;
    }
    std::printf("Wrote %s: best sizes of %zu left counts for k=%d\n", svgPath.c_str(),
                sizes.rows.size(), power);
  }
  return damaged ? 1 : 0;
}

}  // namespace quorvex
