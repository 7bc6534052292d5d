// The curve text format: one "position ratio" line per point, as "%d %f"
// gives it. Writing always uses a decimal point and CR LF, whatever the
// process's locale; reading takes LF, CR LF or CR and a decimal comma.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "curve/PvcPoint.h"

struct CurveLine {
  std::int32_t position;
  float ratio;
};

// Longest line the reader considers; anything longer is not a point line.
inline constexpr std::size_t kMaxCurveLine = 1024;

// Parses one line (without its line end). Nothing for a line that holds no
// usable point: no blank after the position, no digits before it, a position
// beyond 32 bits or below 0, a ratio that is missing, negative, NaN or
// beyond the float range.
std::optional<CurveLine> parseCurveLine(std::string_view line);
// Appends the line for a point, "%d %f" with its CR LF.
void appendCurveLine(std::string& text, std::int32_t position, float ratio);
// The text of a whole curve, a line per point.
std::string curveFileText(const std::vector<PvcPoint>& curve);

// Collects the points of a curve text handed over in pieces of any size.
// Only points that keep the positions strictly ascending are kept; a line
// that would break the order is skipped, as are lines that are not point
// lines. The result does not depend on how the text was cut up.
class CurveTextReader {
 public:
  void feed(std::string_view bytes);
  // Ends the text (a last line may lack its line end) and hands the points over.
  std::vector<PvcPoint> finish();

 private:
  void endLine();

  std::string line_;
  bool tooLong_ = false;
  bool atStart_ = true;
  std::size_t bomMatched_ = 0;
  std::vector<PvcPoint> points_;
};

// The points of a curve file, read in chunks through CurveTextReader; none
// when the file cannot be opened.
std::vector<PvcPoint> readCurveFile(const std::string& path);
