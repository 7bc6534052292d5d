#include "curve/CurveText.h"

#include <charconv>
#include <fstream>
#include <cmath>
#include <limits>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A decimal integer: an optional sign and at least one digit; what follows
// the digits is ignored. Nothing without digits or beyond 32 bits.
std::optional<std::int32_t> readPosition(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t digits = i;
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (i == digits) return std::nullopt;
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

// The longest prefix that forms a decimal number (sign, digits, decimal
// point, exponent), after leading blanks. Nothing when there is none or it
// lies outside the double range.
std::optional<double> readRatio(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  if (i < text.size() && text[i] == '+') ++i;  // from_chars takes no plus sign
  double value = 0.0;
  const char* begin = text.data() + i;
  auto result = std::from_chars(begin, text.data() + text.size(), value, std::chars_format::general);
  if (result.ec != std::errc()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<CurveLine> parseCurveLine(std::string_view line) {
  std::size_t start = 0;
  while (start < line.size() && isBlank(line[start])) ++start;
  line.remove_prefix(start);
  const std::size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  const std::optional<std::int32_t> position = readPosition(line.substr(0, blank));
  if (!position || *position < 0) return std::nullopt;

  std::string ratioText(line.substr(blank + 1));
  const std::size_t comma = ratioText.find(',');
  if (comma != std::string::npos) ratioText[comma] = '.';
  const std::optional<double> ratio = readRatio(ratioText);
  // NaN fails the first test; infinities and values no float holds the second.
  // Zero stays: a dragged point may hold it, and snapshots must give it back.
  if (!ratio || !(*ratio >= 0.0) || *ratio > std::numeric_limits<float>::max()) return std::nullopt;
  return CurveLine{*position, static_cast<float>(*ratio)};
}

void appendCurveLine(std::string& text, std::int32_t position, float ratio) {
  char buffer[96];
  char* const end = buffer + sizeof buffer - 2;
  auto r = std::to_chars(buffer, end, position);
  *r.ptr++ = ' ';
  r = std::to_chars(r.ptr, end, static_cast<double>(ratio), std::chars_format::fixed, 6);
  *r.ptr++ = '\r';
  *r.ptr++ = '\n';
  text.append(buffer, r.ptr);
}

void CurveTextReader::feed(std::string_view bytes) {
  static constexpr std::string_view kBom = "\xEF\xBB\xBF";
  for (const char c : bytes) {
    // A UTF-8 byte order mark, as some editors save one, is not part of the
    // first line.
    if (atStart_) {
      if (c == kBom[bomMatched_]) {
        if (++bomMatched_ == kBom.size()) atStart_ = false;
        continue;
      }
      atStart_ = false;
      for (std::size_t i = 0; i < bomMatched_; ++i) line_.push_back(kBom[i]);
    }
    if (c == '\n' || c == '\r') {
      endLine();
    } else if (line_.size() < kMaxCurveLine) {
      line_.push_back(c);
    } else {
      tooLong_ = true;
    }
  }
}

void CurveTextReader::endLine() {
  if (!tooLong_ && !line_.empty()) {
    if (const std::optional<CurveLine> point = parseCurveLine(line_)) {
      if (points_.empty() || point->position > points_.back().position)
        points_.push_back(PvcPoint{point->position, point->ratio, 0, 0});
    }
  }
  line_.clear();
  tooLong_ = false;
}

std::vector<PvcPoint> CurveTextReader::finish() {
  if (atStart_) {
    atStart_ = false;
    line_.append(std::string_view("\xEF\xBB\xBF").substr(0, bomMatched_));
  }
  endLine();
  return std::move(points_);
}

std::string curveFileText(const std::vector<PvcPoint>& curve) {
  std::string text;
  for (const PvcPoint& p : curve) appendCurveLine(text, p.position, p.ratio);
  return text;
}

std::vector<PvcPoint> readCurveFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  CurveTextReader reader;
  std::vector<char> chunk(64 * 1024);
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    reader.feed(std::string_view(chunk.data(), static_cast<std::size_t>(in.gcount())));
  }
  return reader.finish();
}
