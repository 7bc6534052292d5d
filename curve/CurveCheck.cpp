#include "curve/CurveCheck.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace curvecheck {

namespace {

constexpr std::size_t kReasonsKept = 3;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A position is a plain decimal count of frames: "2.4e5" is not one, rather
// than being read as 2 or guessed at.
bool readPosition(std::string_view s, std::int64_t& value) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.size() > 10) return false;
  value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value <= 2147483647;
}

// The whole field must be a number; a decimal comma counts as a point.
bool readRatio(std::string_view s, double& value) {
  std::string text(s);
  if (const auto comma = text.find(','); comma != std::string::npos) text[comma] = '.';
  const char* begin = text.data();
  if (!text.empty() && text.front() == '+') ++begin;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(begin, end, value, std::chars_format::general);
  return result.ec == std::errc() && result.ptr == end;
}

// At most a few dozen bytes of the line, to show, not to reproduce.
std::string quoted(std::string_view text) {
  constexpr std::size_t kShown = 32;
  std::string out(1, '"');
  // Bytes of binary or UTF-16 files would garble the message.
  for (const char c : text.substr(0, kShown)) out.push_back(c >= 0x20 && c < 0x7F ? c : '?');
  if (text.size() > kShown) out.append("...");
  out.push_back('"');
  return out;
}

std::string describe(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

}  // namespace

std::string CurveCheck::text() const {
  std::string out;
  char line[64];
  for (const Point& p : points) {
    const int n = std::snprintf(line, sizeof line, "%lld %.6f\r\n", static_cast<long long>(p.position), p.ratio);
    out.append(line, static_cast<std::size_t>(n));
  }
  return out;
}

CurveCheck checkCurveText(std::string_view text) {
  CurveCheck check;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::size_t lineNumber = 0;
  auto unusable = [&](const std::string& why) {
    if (check.unusableLines++ < kReasonsKept)
      check.firstReasons.push_back("line " + std::to_string(lineNumber) + ": " + why);
  };
  while (!text.empty() && check.refusal.empty()) {
    std::size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    if (end == std::string_view::npos) {
      text = {};
    } else {
      // CR LF is one line end.
      const std::size_t next = text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
      text.remove_prefix(next);
    }
    ++lineNumber;
    line = trimmed(line);
    if (line.empty()) continue;
    // The plug-in splits a line at its first blank, as "%d %f" writes it.
    const std::size_t blank = line.find(' ');
    std::int64_t position = 0;
    double ratio = 0.0;
    if (blank == std::string_view::npos) {
      unusable("not a position and a ratio separated by a blank");
    } else if (!readPosition(line.substr(0, blank), position)) {
      unusable(quoted(line.substr(0, blank)) + " is not a frame position");
    } else if (!readRatio(trimmed(line.substr(blank + 1)), ratio) || std::isnan(ratio)) {
      unusable(quoted(trimmed(line.substr(blank + 1))) + " is not a ratio");
    } else if (!(ratio >= kLowestRatio && ratio <= kHighestRatio)) {
      check.refusal = "line " + std::to_string(lineNumber) + ": the ratio " + describe(ratio) +
                      " is outside the plausible range 0.25 to 4";
    } else if (!check.points.empty() && position <= check.points.back().position) {
      unusable("position " + std::to_string(position) + " does not come after " +
               std::to_string(check.points.back().position));
    } else {
      check.points.push_back({position, ratio});
    }
  }
  if (check.refusal.empty() && check.points.empty()) check.refusal = "the curve holds no usable point";
  return check;
}

}  // namespace curvecheck
