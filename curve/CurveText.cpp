#include "curve/CurveText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n'; }

// A decimal integer: leading blanks, an optional sign, the digits up to the
// first other character; 0 without digits. Out-of-range values are pinned.
std::int32_t readPosition(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 4294967296LL) value = 4294967296LL;  // far past any int, stop growing
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

// The longest prefix that forms a decimal number; 0.0 when there is none.
double readRatio(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  if (i < text.size() && text[i] == '+') ++i;  // from_chars takes no plus sign
  double value = 0.0;
  const char* begin = text.data() + i;
  const char* end = text.data() + text.size();
  auto result = std::from_chars(begin, end, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) return std::numeric_limits<double>::infinity();
  if (result.ec != std::errc()) return 0.0;
  return value;
}

}  // namespace

std::optional<CurveLine> parseCurveLine(std::string_view line) {
  const std::size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  std::string ratioText(line.substr(blank + 1));
  const std::size_t comma = ratioText.find(',');
  if (comma != std::string::npos) ratioText[comma] = '.';
  const float ratio = static_cast<float>(readRatio(ratioText));
  // Zero, negative or non-finite speeds would run the correction backwards.
  if (!std::isfinite(ratio) || !(ratio > 0.0f)) return std::nullopt;
  return CurveLine{readPosition(line.substr(0, blank)), ratio};
}

std::string formatCurveLine(std::int32_t position, float ratio) {
  char buffer[96];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, position);
  *r.ptr++ = ' ';
  r = std::to_chars(r.ptr, buffer + sizeof buffer - 2, static_cast<double>(ratio), std::chars_format::fixed, 6);
  std::string line(buffer, r.ptr);
  line += "\r\n";
  return line;
}
