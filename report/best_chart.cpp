#include "report/best_chart.hpp"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "store/solution_notation.hpp"

namespace quorvex {

namespace {

constexpr double kWidth = 640;
constexpr double kHeight = 480;
constexpr double kLeft = 64;
constexpr double kRight = kWidth - 24;
constexpr double kTop = 72;
constexpr double kBottom = kHeight - 56;
const char* const kFoundColour = "#c0392b";
const char* const kSeedColour = "#1f5fa8";

void Append(std::string& svg, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Append(std::string& svg, const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  svg += text;
}

// A tick step of 1, 2 or 5 times a power of ten that cuts the span into at
// most ten parts.
int64_t TickStep(int64_t span) {
  for (int64_t scale = 1;; scale *= 10) {
    for (int64_t step : {scale, 2 * scale, 5 * scale}) {
      if (span <= 10 * step) return step;
    }
  }
}

struct Axis {
  int64_t top;  // the axis runs from 0 to top, a whole number of steps
  int64_t step;
};

Axis MakeAxis(int64_t largest) {
  const int64_t step = TickStep(largest + 1);
  return {(largest / step + 1) * step, step};
}

struct Plot {
  Axis x;
  Axis y;
  double X(double m) const { return kLeft + (kRight - kLeft) * m / static_cast<double>(x.top); }
  double Y(double n) const { return kBottom - (kBottom - kTop) * n / static_cast<double>(y.top); }
};

void DrawAxes(std::string& svg, const Plot& plot) {
  for (int64_t m = 0; m <= plot.x.top; m += plot.x.step) {
    const double x = plot.X(static_cast<double>(m));
    Append(svg, "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#e4e4e4\"/>\n", x,
           kTop, x, kBottom);
    Append(svg, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%lld</text>\n", x, kBottom + 18,
           static_cast<long long>(m));
  }
  for (int64_t n = 0; n <= plot.y.top; n += plot.y.step) {
    const double y = plot.Y(static_cast<double>(n));
    Append(svg, "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#e4e4e4\"/>\n",
           kLeft, y, kRight, y);
    Append(svg, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%lld</text>\n", kLeft - 8, y + 4,
           static_cast<long long>(n));
  }
  Append(svg,
         "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" "
         "stroke=\"#444\"/>\n",
         kLeft, kTop, kRight - kLeft, kBottom - kTop);
  Append(svg, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">m, powers on the left</text>\n",
         (kLeft + kRight) / 2, kHeight - 14);
  Append(svg,
         "<text transform=\"translate(18 %.1f) rotate(-90)\" text-anchor=\"middle\">n, fewest "
         "powers on the right</text>\n",
         (kTop + kBottom) / 2);
}

// A square for a given solution, a disc for a found one; a title shows when
// the pointer rests on the mark.
void DrawMark(std::string& svg, double x, double y, bool seeded, const std::string& title = {}) {
  if (seeded) {
    Append(svg,
           "<rect x=\"%.1f\" y=\"%.1f\" width=\"9\" height=\"9\" fill=\"white\" stroke=\"%s\" "
           "stroke-width=\"2\"",
           x - 4.5, y - 4.5, kSeedColour);
  } else {
    Append(svg, "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"5\" fill=\"%s\"", x, y, kFoundColour);
  }
  if (title.empty()) {
    svg += "/>\n";
  } else {
    svg += "><title>" + title + "</title></" + (seeded ? "rect" : "circle") + ">\n";
  }
}

// One row between the title and the plot, where no mark can cover it.
void DrawLegend(std::string& svg, int32_t power, size_t found, size_t seeded) {
  const double y = kTop - 22;
  DrawMark(svg, kLeft + 6, y - 4, false);
  Append(svg, "<text x=\"%.1f\" y=\"%.1f\">found by the search (%zu)</text>\n", kLeft + 18, y,
         found);
  DrawMark(svg, kLeft + 206, y - 4, true);
  Append(svg, "<text x=\"%.1f\" y=\"%.1f\">given in DATABASE.TXT (%zu)</text>\n", kLeft + 218, y,
         seeded);
  Append(svg,
         "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#555\" "
         "stroke-dasharray=\"6 4\" stroke-width=\"1.5\"/>\n",
         kLeft + 420, y - 4, kLeft + 444, y - 4);
  Append(svg, "<text x=\"%.1f\" y=\"%.1f\">m + n = %d</text>\n", kLeft + 452, y, power);
}

}  // namespace

std::string BestChartSvg(const std::vector<BestSize>& rows, int32_t power) {
  int64_t largestM = power;
  int64_t largestN = power;
  size_t seeded = 0;
  for (const BestSize& row : rows) {
    largestM = std::max<int64_t>(largestM, row.m);
    largestN = std::max<int64_t>(largestN, row.n);
    if (row.seeded) ++seeded;
  }
  const Plot plot{MakeAxis(largestM), MakeAxis(largestN)};

  std::string svg;
  Append(svg,
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
         "viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\" font-size=\"12\">\n",
         kWidth, kHeight, kWidth, kHeight);
  Append(svg, "<rect width=\"%.0f\" height=\"%.0f\" fill=\"white\"/>\n", kWidth, kHeight);
  Append(svg,
         "<text x=\"%.1f\" y=\"28\" text-anchor=\"middle\" font-size=\"16\">Equal sums of like "
         "powers, k = %d: best size for each m</text>\n",
         kWidth / 2, power);
  DrawAxes(svg, plot);
  Append(svg,
         "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#555\" "
         "stroke-dasharray=\"6 4\" stroke-width=\"1.5\"/>\n",
         plot.X(0), plot.Y(power), plot.X(power), plot.Y(0));
  for (const BestSize& row : rows) {
    DrawMark(svg, plot.X(row.m), plot.Y(row.n), row.seeded, FormatSolution(row.witness, power));
  }
  DrawLegend(svg, power, rows.size() - seeded, seeded);
  svg += "</svg>\n";
  return svg;
}

}  // namespace quorvex
