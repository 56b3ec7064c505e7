#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/best_sizes.hpp"

namespace quorvex {

// The best-size table as a stand-alone SVG picture: n against m, found and
// given solutions marked apart, and the line m + n = k for reference.
std::string BestChartSvg(const std::vector<BestSize>& rows, int32_t power);

}  // namespace quorvex
