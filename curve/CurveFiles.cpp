// Reading and writing curve files, and the undo snapshots written as such
// files into the snapshot directory.
#include <cstdio>
#include <fstream>
#include <string>

#include "curve/CurveText.h"
#include "curve/PvcCurve.h"
#include "platform/Platform.h"

namespace {

// Reads one line of at most kMaxCurveLine characters; the rest of a longer
// line is consumed and the line marked as too long.
bool readLine(std::istream& in, std::string& line, bool& tooLong) {
  line.clear();
  tooLong = false;
  char c;
  bool any = false;
  while (in.get(c)) {
    any = true;
    if (c == '\n') return true;
    if (line.size() < kMaxCurveLine)
      line.push_back(c);
    else
      tooLong = true;
  }
  return any;
}

}  // namespace

bool PvcCurve::readFile(const std::string& path, bool snapshot) {
  clear();
  if (!snapshot) fileName_ = path;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  bool tooLong = false;
  float lastRatio = 1.0f;
  while (readLine(in, line, tooLong)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || tooLong) continue;
    auto point = parseCurveLine(line);
    if (!point) continue;
    // The curve must stay strictly ascending from frame 0 on: a line that
    // would break that is skipped, the points before it are kept.
    if (point->position < 0) continue;
    if (!points_.empty() && point->position <= points_.back().position) continue;
    appendPoint(point->position, point->ratio, false);
    lastRatio = point->ratio;
  }
  // A file that yields no point is not a curve.
  if (points_.empty()) return false;
  if (points_.back().position < length_ - 1) appendPoint(length_, lastRatio, false);
  return true;
}

bool PvcCurve::writeFile(const std::string& path, bool snapshot) {
  if (path.empty()) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  std::string text;
  text.reserve(points_.size() * 20);
  for (const PvcPoint& p : points_) text += formatCurveLine(p.position, p.ratio);
  out << text;
  out.close();
  if (!out) return false;
  if (!snapshot) fileName_ = path;
  return true;
}

std::string PvcCurve::snapshotName(int step) const {
  return tempDir_ + std::to_string(fileId) + "~undopvc_" + std::to_string(step) + ".dwt";
}

bool PvcCurve::pushSnapshot() {
  snapshotPending_ = false;
  const std::int32_t next = snapshotIndex_ + 1;
  if (next < snapshotCount_) {
    snapshotIndex_ = next;
    snapshotCount_ = next;
  } else {
    snapshotIndex_ = snapshotCount_;
  }
  if (!writeFile(snapshotName(snapshotIndex_), true)) return false;
  ++snapshotCount_;
  return true;
}

int PvcCurve::storeSnapshot() {
  if (snapshotPending_) {
    pushSnapshot();
    return 2;
  }
  return writeFile(snapshotName(snapshotIndex_), true) ? 1 : 0;
}

bool PvcCurve::loadSnapshot(int step) {
  snapshotIndex_ = step;
  return readFile(snapshotName(step), true);
}

void PvcCurve::setSnapshotState(int n) {
  snapshotIndex_ = n;
  snapshotCount_ = n;
}

void PvcCurve::resetSnapshots() {
  snapshotIndex_ = -1;
  snapshotCount_ = 0;
  fileId = 0;
  channelCount = 1;
}

void PvcCurve::clearSnapshots() {
  bool first = true;
  for (const std::string& name : platform::listFiles(tempDir_, ".dwt")) {
    // A failure on the first file does not stop the sweep; a later one does.
    if (!platform::deleteFile(tempDir_ + name) && !first) break;
    first = false;
  }
  snapshotIndex_ = -1;
  snapshotCount_ = 0;
}
