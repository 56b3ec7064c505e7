#pragma once

#include <cstdint>
#include <string>

namespace quorvex {

// `quorvex best`: prints the folder's best-size table for the power
// (PARAMS.INI's POWER when it is negative), or, with an SVG path, writes it
// there as a picture. Only reads the folder. Returns the exit status.
int BestReport(int32_t power, const std::string& svgPath);

}  // namespace quorvex
