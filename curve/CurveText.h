// The curve text format: one "position ratio" line per point. Reading takes
// LF or CR LF and a decimal comma; writing always uses a decimal point and
// CR LF, whatever the process's locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct CurveLine {
  std::int32_t position;
  float ratio;
};

// Longest line the reader considers; anything longer is not a point line.
inline constexpr std::size_t kMaxCurveLine = 1024;

// Parses one line (without its line end). Nothing for a line that holds no
// usable point: no blank, or a ratio that is not a finite number above 0.
std::optional<CurveLine> parseCurveLine(std::string_view line);
// The line for a point, "%d %f" with its CR LF.
std::string formatCurveLine(std::int32_t position, float ratio);
