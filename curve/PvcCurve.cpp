// The curve's points: edits, queries and interpolation.
#include "curve/PvcCurve.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "curve/SnapshotDirectory.h"
#include "platform/Platform.h"

namespace {

float interpolate(std::int32_t x0, float y0, std::int32_t x1, float y1, std::int32_t x) {
  const float fx0 = static_cast<float>(x0);
  const float fx1 = static_cast<float>(x1);
  // Far into a long file two neighbouring positions can become the same
  // float; dividing by their zero difference would give NaN.
  if (fx0 == fx1) return y0;
  return y0 + (static_cast<float>(x) - fx0) * ((y1 - y0) / (fx1 - fx0));
}

std::string withSeparator(std::string folder) {
  const char separator = platform::pathSeparator();
  if (folder.empty()) return folder;
  if (folder.back() != separator && folder.back() != '/') folder += separator;
  return folder;
}

constexpr std::string_view kOwnFolderPrefix = "pelmora-";

// Snapshot folders of curves whose process ended without removing them (a
// killed host): "pelmora-PROCESS-N" with no such process running.
void removeAbandonedFolders(const std::string& shared) {
  std::error_code error;
  for (std::filesystem::directory_iterator it(shared, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, kOwnFolderPrefix.size(), kOwnFolderPrefix) != 0 || !it->is_directory(error)) continue;
    unsigned long owner = 0;
    const char* first = name.data() + kOwnFolderPrefix.size();
    const auto parsed = std::from_chars(first, name.data() + name.size(), owner);
    if (parsed.ec != std::errc() || parsed.ptr == first || *parsed.ptr != '-') continue;
    if (platform::processRunning(owner)) continue;
    const std::string folder = it->path().string() + platform::pathSeparator();
    for (const std::string& file : platform::listFiles(folder, ".dwt")) platform::deleteFile(folder + file);
    platform::removeDirectory(it->path().string());
  }
}

}  // namespace

PvcCurve::PvcCurve() : handoffDir_(makeSnapshotDirectory()) {
  removeAbandonedFolders(handoffDir_);
  // Named after the process and the object: unique among the curves alive.
  const std::string own = handoffDir_ + std::string(kOwnFolderPrefix) + std::to_string(platform::processId()) + "-" +
                          std::to_string(reinterpret_cast<std::uintptr_t>(this));
  ownsTempDir_ = ensureDirectory(own);
  // Without a folder of its own the curve writes beside the others, as before.
  tempDir_ = ownsTempDir_ ? own + platform::pathSeparator() : handoffDir_;
}

PvcCurve::PvcCurve(std::string snapshotDirectory)
    : tempDir_(withSeparator(std::move(snapshotDirectory))), handoffDir_(tempDir_) {
  if (!tempDir_.empty()) ensureDirectory(tempDir_.substr(0, tempDir_.size() - 1));
}

PvcCurve::~PvcCurve() {
  if (!ownsTempDir_) return;
  clearSnapshots();
  platform::removeDirectory(tempDir_.substr(0, tempDir_.size() - 1));
}

bool PvcCurve::setLength(std::int32_t frames) {
  length_ = frames;
  return true;
}

bool PvcCurve::resetFlat(std::int32_t frames) {
  points_.clear();
  descents_ = 0;
  appendPoint(0, 1.0f, false);
  if (frames > 1) appendPoint(frames - 1, 1.0f, false);
  lastValue_ = 1.0f;
  return true;
}

void PvcCurve::clear() {
  points_.clear();
  descents_ = 0;
  lastValue_ = 0.0f;
}

bool PvcCurve::acceptValue(float ratio) {
  // Ratios are floats, so the threshold is the float 0.001: a difference of
  // exactly that much is refused.
  if (std::fabs(lastValue_ - ratio) > 0.001f) {
    lastValue_ = ratio;
    return true;
  }
  return false;
}

bool PvcCurve::appendPoint(std::int32_t position, float ratio, bool filter) {
  if (filter && !acceptValue(ratio)) return false;
  if (!points_.empty() && points_.back().position >= position) ++descents_;
  points_.push_back(PvcPoint{position, ratio, 0, 0});
  return true;
}

bool PvcCurve::descendsAt(std::size_t i) const { return points_[i].position >= points_[i + 1].position; }

// The descending pairs that point i belongs to.
std::size_t PvcCurve::descentsAround(std::size_t i) const {
  std::size_t n = 0;
  if (i > 0 && descendsAt(i - 1)) ++n;
  if (i + 1 < points_.size() && descendsAt(i)) ++n;
  return n;
}

void PvcCurve::recountDescents() {
  descents_ = 0;
  for (std::size_t i = 0; i + 1 < points_.size(); ++i)
    if (descendsAt(i)) ++descents_;
}

std::optional<std::size_t> PvcCurve::gapAround(std::int32_t position) const {
  const std::size_t n = points_.size();
  if (n < 2) return std::nullopt;
  auto holds = [&](std::size_t i) { return points_[i].position < position && position < points_[i + 1].position; };
  if (descents_ > 0) {
    for (std::size_t i = 0; i + 1 < n; ++i)
      if (holds(i)) return i;
    return std::nullopt;
  }
  // Ascending positions have at most one gap that holds the position.
  // Passes insert in ascending order, mostly just before the end point, so
  // the gap is usually the one after the last insertion or the last one.
  if (lastInsert_ + 1 < n && holds(lastInsert_)) return lastInsert_;
  if (holds(n - 2)) return n - 2;
  auto right = std::upper_bound(points_.begin(), points_.end(), position,
                                [](std::int32_t p, const PvcPoint& point) { return p < point.position; });
  if (right == points_.begin() || right == points_.end()) return std::nullopt;
  const std::size_t i = static_cast<std::size_t>(right - points_.begin()) - 1;
  if (!holds(i)) return std::nullopt;
  return i;
}

bool PvcCurve::insertPoint(std::int32_t position, float ratio, bool filter) {
  if (!(ratio > 0.0f) || position <= 0 || position >= static_cast<std::int64_t>(length_) - 1) return true;
  const std::optional<std::size_t> gap = gapAround(position);
  if (!gap) return true;
  if (filter) {
    // The filter compares with the left neighbour, not with the last insert.
    lastValue_ = points_[*gap].ratio;
    if (!acceptValue(ratio)) return true;
  }
  points_.insert(points_.begin() + static_cast<std::ptrdiff_t>(*gap + 1), PvcPoint{position, ratio, 0, 0});
  lastInsert_ = *gap + 1;
  return true;
}

bool PvcCurve::deleteRange(std::int32_t from, std::int32_t to) {
  if (from > to) return true;
  const std::int64_t end = static_cast<std::int64_t>(length_) - 1;
  std::erase_if(points_, [&](const PvcPoint& p) {
    return p.position >= from && p.position <= to && p.position != 0 && p.position != end;
  });
  recountDescents();
  return true;
}

bool PvcCurve::setPoint(unsigned index, std::int32_t position, float ratio) {
  if (index >= points_.size()) return false;
  descents_ -= descentsAround(index);
  points_[index].position = position;
  points_[index].ratio = ratio;
  descents_ += descentsAround(index);
  return true;
}

std::int32_t PvcCurve::positionOf(unsigned i) const { return i < points_.size() ? points_[i].position : 0; }
float PvcCurve::ratioOf(unsigned i) const { return i < points_.size() ? points_[i].ratio : 1.0f; }
std::int32_t PvcCurve::columnOf(unsigned i) const { return i < points_.size() ? points_[i].column : -1; }
std::int32_t PvcCurve::rowOf(unsigned i) const { return i < points_.size() ? points_[i].row : -1; }

std::size_t PvcCurve::firstAtOrAfter(std::int32_t sample) const {
  if (descents_ > 0) {
    std::size_t i = 0;
    while (i < points_.size() && points_[i].position < sample) ++i;
    return i;
  }
  auto it = std::lower_bound(points_.begin(), points_.end(), sample,
                             [](const PvcPoint& point, std::int32_t s) { return point.position < s; });
  return static_cast<std::size_t>(it - points_.begin());
}

// The interpolation walk over points [from, to): the last point at or before
// the sample is the left neighbour, the first one at or after it the right
// one. Before any left neighbour the first point stands for both. left, when
// given, follows every point taken as left neighbour.
float PvcCurve::walk(std::size_t from, std::size_t to, std::int32_t sample, std::size_t* left) const {
  std::optional<std::size_t> leftIndex;
  for (std::size_t i = from; i < to; ++i) {
    const PvcPoint& p = points_[i];
    if (p.position <= sample) {
      leftIndex = i;
      if (left) *left = i;
    }
    if (p.position >= sample) {
      const PvcPoint& a = points_[leftIndex.value_or(i)];
      return interpolate(a.position, a.ratio, p.position, p.ratio, sample);
    }
  }
  return -1.0f;
}

float PvcCurve::ratioAt(std::int32_t sample) const {
  if (sample < 0 || sample >= length_) return -1.0f;
  if (descents_ > 0) return walk(0, points_.size(), sample, nullptr);
  // Ascending points: the walk would stop at the first point at or after
  // the sample, with the point before it (or itself) on the left.
  const std::size_t right = firstAtOrAfter(sample);
  if (right == points_.size()) return -1.0f;
  const std::size_t from = (right == 0 || points_[right].position == sample) ? right : right - 1;
  return walk(from, right + 1, sample, nullptr);
}

void PvcCurve::rewind() {
  scanCursor_ = 0;
  scanEnd_ = points_.size();
}

float PvcCurve::ratioAtNext(std::int32_t sample) {
  if (sample < 0 || sample >= length_) return -1.0f;
  // The points may have changed since the rewind.
  scanEnd_ = std::min(scanEnd_, points_.size());
  return walk(scanCursor_, scanEnd_, sample, &scanCursor_);
}
