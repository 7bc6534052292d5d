// Reading and writing curve files, and the undo snapshots written as such
// files into the snapshot directory.
#include <filesystem>
#include <fstream>
#include <system_error>
#include <string>
#include <vector>

#include "curve/CurveText.h"
#include "curve/PvcCurve.h"
#include "platform/Platform.h"

bool PvcCurve::readFile(const std::string& path, bool snapshot) {
  if (!snapshot) fileName_ = path;
  std::vector<PvcPoint> read = readCurveFile(path);
  // A file that yields no point is not a curve; the one in memory stays, so
  // a bad import or a missing snapshot loses nothing.
  if (read.empty()) return false;
  clear();
  points_ = std::move(read);
  recountDescents();
  lastInsert_ = 0;
  // A curve that ends early is held at its last ratio up to one past the
  // last frame.
  const PvcPoint last = points_.back();
  if (last.position < static_cast<std::int64_t>(length_) - 1) appendPoint(length_, last.ratio, false);
  return true;
}

bool PvcCurve::writeFile(const std::string& path, bool snapshot) {
  if (path.empty()) return false;
  std::string text;
  text.reserve(points_.size() * 20);
  for (const PvcPoint& p : points_) appendCurveLine(text, p.position, p.ratio);
  // Written beside the file and put in its place once whole: a full disk or
  // a locked file leaves the old file as it was and no cut-short one.
  const std::string working = path + ".partial~";
  {
    std::ofstream out(working, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
      platform::deleteFile(working);
      return false;
    }
  }
  std::error_code failed;
  std::filesystem::rename(working, path, failed);
  if (failed) {
    platform::deleteFile(working);
    return false;
  }
  if (!snapshot) fileName_ = path;
  return true;
}

std::string PvcCurve::snapshotName(int step) const {
  return tempDir_ + std::to_string(fileId) + "~undopvc_" + std::to_string(step) + ".dwt";
}

bool PvcCurve::pushSnapshot() {
  // After undone steps the new one takes the place above the step shown and
  // forgets those above it; but only once it is written. A step that could
  // not be written changes nothing, and the next store tries a new step again.
  const std::int32_t next = snapshotIndex_ + 1;
  const std::int32_t index = next < snapshotCount_ ? next : snapshotCount_;
  if (!writeFile(snapshotName(index), true)) {
    snapshotPending_ = true;
    return false;
  }
  snapshotPending_ = false;
  snapshotIndex_ = index;
  snapshotCount_ = index + 1;
  return true;
}

int PvcCurve::storeSnapshot() {
  if (snapshotPending_) return pushSnapshot() ? 2 : 0;
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

void PvcCurve::setSnapshotState(int n, int shown) {
  snapshotCount_ = n;
  snapshotIndex_ = shown;
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
