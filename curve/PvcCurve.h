// The pitch variation curve: how fast the recording ran at every frame, as
// an ascending polyline of (position, ratio) points. It also keeps the
// mapping of its points onto the editor's drawing, the point being dragged,
// and the bookkeeping of the undo snapshots it writes to disk.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "curve/PvcPoint.h"

class SpectrogramAnalyser;

class PvcCurve {
 public:
  // Creates the snapshot directory (see SnapshotDirectory.h).
  PvcCurve();
  // For tests and tools: snapshots go to the given folder, which must end
  // with a path separator.
  explicit PvcCurve(std::string snapshotDirectory);
  virtual ~PvcCurve();
  PvcCurve(const PvcCurve&) = delete;
  PvcCurve& operator=(const PvcCurve&) = delete;

  // Size.
  bool setLength(std::int32_t frames);
  std::int32_t length() const { return length_; }
  bool resetFlat(std::int32_t frames);
  void clear();

  // Point edits.
  bool appendPoint(std::int32_t position, float ratio, bool filter);
  bool insertPoint(std::int32_t position, float ratio, bool filter);
  bool deleteRange(std::int32_t from, std::int32_t to);
  bool setPoint(unsigned index, std::int32_t position, float ratio);
  bool acceptValue(float ratio);

  // Queries; an index outside the points gives a fallback.
  std::int32_t positionOf(unsigned i) const;
  float ratioOf(unsigned i) const;
  std::int32_t columnOf(unsigned i) const;
  std::int32_t rowOf(unsigned i) const;
  std::int32_t pointCount() const { return static_cast<std::int32_t>(points_.size()); }
  const std::vector<PvcPoint>& points() const { return points_; }
  bool isEndPoint(int i) const { return i == 0 || i == pointCount() - 1; }
  bool isSelected(int i) const { return i == selectedPoint_; }
  std::int32_t selectedPoint() const { return selectedPoint_; }
  bool leftEdgeSynthetic() const { return leftEdgeSynthetic_; }
  bool rightEdgeSynthetic() const { return rightEdgeSynthetic_; }
  std::int32_t firstVisible() const { return firstVisible_; }
  std::int32_t lastVisible() const { return lastVisible_; }
  const PvcPoint& leftEdge() const { return *leftEdge_; }
  const PvcPoint& rightEdge() const { return *rightEdge_; }
  float lastValue() const { return lastValue_; }

  // Interpolation: -1.0 where the curve says nothing.
  float ratioAt(std::int32_t sample) const;
  void rewind();
  // As ratioAt, for ascending samples after rewind: one walk in all.
  float ratioAtNext(std::int32_t sample);

  // View mapping for the editor.
  bool setView(int width, int height, std::int32_t start, std::int32_t end);
  bool layout(const SpectrogramAnalyser& analyser);
  bool refreshEdges(const SpectrogramAnalyser& analyser);
  bool setScreen(unsigned i, std::int32_t column, std::int32_t row);
  std::int32_t sampleForColumn(int column) const;
  bool pointNear(int column, int row) const;
  bool selectNear(int column, int row);
  void deselect() { selectedPoint_ = -1; }
  bool moveSelected(float ratio);
  std::int32_t viewStart() const { return viewStart_; }
  std::int32_t viewEnd() const { return viewEnd_; }
  std::int32_t plotWidth() const { return plotWidth_; }
  std::int32_t plotHeight() const { return plotHeight_; }

  // Curve files and undo snapshots.
  bool readFile(const std::string& path, bool snapshot);
  bool writeFile(const std::string& path, bool snapshot);
  bool pushSnapshot();
  int storeSnapshot();
  bool loadSnapshot(int step);
  void markPending() { snapshotPending_ = true; }
  void setSnapshotState(int n);
  void resetSnapshots();
  void clearSnapshots();
  std::string snapshotName(int step) const;
  std::int32_t snapshotCount() const { return snapshotCount_; }
  std::int32_t snapshotIndex() const { return snapshotIndex_; }
  bool snapshotPending() const { return snapshotPending_; }
  const std::string& tempDir() const { return tempDir_; }
  const std::string& fileName() const { return fileName_; }

  // Written by the editor: the host file this curve belongs to.
  std::int32_t fileId = 0;
  std::int32_t channelCount = 1;

 private:
  float ratioBetween(std::size_t from, std::size_t to, std::int32_t sample, std::size_t* left) const;
  void buildLeftEdge(const SpectrogramAnalyser& analyser);
  void buildRightEdge(const SpectrogramAnalyser& analyser, float columnsPerSample);
  float columnsPerSample() const;

  std::vector<PvcPoint> points_;
  std::unique_ptr<PvcPoint> leftEdge_ = std::make_unique<PvcPoint>();
  std::unique_ptr<PvcPoint> rightEdge_ = std::make_unique<PvcPoint>();
  bool leftEdgeSynthetic_ = false;
  bool rightEdgeSynthetic_ = false;
  std::int32_t firstVisible_ = 0;
  std::int32_t lastVisible_ = 0;
  std::int32_t plotHeight_ = 0;
  std::int32_t plotWidth_ = 0;
  std::int32_t viewLength_ = 0;
  std::int32_t length_ = 0;
  std::int32_t viewStart_ = 0;
  std::int32_t viewEnd_ = 0;
  std::int32_t selectedPoint_ = -1;
  std::int32_t grabColumn_ = 0;
  std::int32_t grabRow_ = 0;
  std::size_t scanCursor_ = 0;
  std::size_t scanEnd_ = 0;
  std::string fileName_;
  std::string tempDir_;
  float lastValue_ = 0.0f;
  std::int32_t snapshotCount_ = 0;
  std::int32_t snapshotIndex_ = -1;
  bool snapshotPending_ = false;
};
