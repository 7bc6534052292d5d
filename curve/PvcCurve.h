// The pitch variation curve: how fast the recording ran at every frame, as
// an ascending polyline of (position, ratio) points. It also keeps the
// mapping of its points onto the editor's drawing, the point being dragged,
// and the bookkeeping of the undo snapshots it writes to disk.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "curve/PvcPoint.h"

class SpectrogramAnalyser;

class PvcCurve {
 public:
  // Creates the snapshot directory (see SnapshotDirectory.h) and, inside it,
  // this curve's own folder for its snapshots, removed with the curve: two
  // plug-ins at once never meet each other's steps.
  PvcCurve();
  // For tests and tools: snapshots go to the given folder, which is created
  // when missing and stays; a path separator is added when it has none.
  explicit PvcCurve(std::string snapshotDirectory);
  virtual ~PvcCurve();
  PvcCurve(const PvcCurve&) = delete;
  PvcCurve& operator=(const PvcCurve&) = delete;

  // Size.
  bool setLength(std::int32_t frames);
  std::int32_t length() const { return length_; }
  // A flat line at 1.0 from frame 0 to frames - 1; a single point at 0 when
  // frames is 1 or less, so that positions stay ascending and not negative.
  bool resetFlat(std::int32_t frames);
  void clear();

  // Point edits.
  bool appendPoint(std::int32_t position, float ratio, bool filter);
  bool insertPoint(std::int32_t position, float ratio, bool filter);
  bool deleteRange(std::int32_t from, std::int32_t to);
  bool setPoint(unsigned index, std::int32_t position, float ratio);
  // Near-duplicate filter: true, and remembered, when the ratio differs from
  // the last accepted one by more than 0.001.
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
  // firstVisible > lastVisible when no point lies in the view.
  std::int32_t firstVisible() const { return firstVisible_; }
  std::int32_t lastVisible() const { return lastVisible_; }
  const PvcPoint& leftEdge() const { return *leftEdge_; }
  const PvcPoint& rightEdge() const { return *rightEdge_; }
  std::int32_t leftEdgeColumn() const { return leftEdge_->column; }
  std::int32_t leftEdgeRow() const { return leftEdge_->row; }
  std::int32_t rightEdgeColumn() const { return rightEdge_->column; }
  std::int32_t rightEdgeRow() const { return rightEdge_->row; }
  float lastValue() const { return lastValue_; }

  // Interpolation: -1.0 outside [0, length) and beyond the last point.
  // Before the first point the first point's ratio holds.
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
  std::int32_t viewLength() const { return viewLength_; }
  std::int32_t grabColumn() const { return grabColumn_; }
  std::int32_t grabRow() const { return grabRow_; }

  // Curve files and undo snapshots. A read that yields no point fails and
  // leaves the curve as it was.
  bool readFile(const std::string& path, bool snapshot);
  bool writeFile(const std::string& path, bool snapshot);
  bool pushSnapshot();
  // 2: a new step was started; 1: the shown step was overwritten; 0: failed.
  int storeSnapshot();
  bool loadSnapshot(int step);
  void markPending() { snapshotPending_ = true; }
  void setSnapshotState(int n);
  // Back to a file with n steps whose step `shown` is the one shown.
  void setSnapshotState(int n, int shown);
  void resetSnapshots();
  void clearSnapshots();
  // The file that holds the given undo step of this curve's host file.
  std::string snapshotName(int step) const;
  std::int32_t snapshotCount() const { return snapshotCount_; }
  std::int32_t snapshotIndex() const { return snapshotIndex_; }
  bool snapshotPending() const { return snapshotPending_; }
  // This curve's snapshot folder, and the shared folder it lies in, where a
  // curve file named after the host's file is handed to the reading pass.
  const std::string& tempDir() const { return tempDir_; }
  const std::string& handoffDir() const { return handoffDir_; }
  const std::string& fileName() const { return fileName_; }

  // Written by the editor: the host file this curve belongs to.
  std::int32_t fileId = 0;
  std::int32_t channelCount = 1;

 private:
  float walk(std::size_t from, std::size_t to, std::int32_t sample, std::size_t* left) const;
  std::size_t firstAtOrAfter(std::int32_t sample) const;
  std::optional<std::size_t> gapAround(std::int32_t position) const;
  bool descendsAt(std::size_t i) const;
  std::size_t descentsAround(std::size_t i) const;
  void recountDescents();
  void buildLeftEdge(const SpectrogramAnalyser& analyser);
  void buildRightEdge(const SpectrogramAnalyser& analyser, float columnsPerSample);
  float columnsPerSample() const;
  std::int32_t columnOfPosition(std::int32_t position, float columnsPerSample) const;

  std::vector<PvcPoint> points_;
  // Neighbour pairs whose positions do not ascend; only appendPoint and
  // setPoint can make them. While there are none, searches may bisect and
  // still give the answer of the front-to-back walk.
  std::size_t descents_ = 0;
  // Where the last insertion went: ascending inserts find their gap at once.
  std::size_t lastInsert_ = 0;
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
  std::string handoffDir_;
  bool ownsTempDir_ = false;
  float lastValue_ = 0.0f;
  std::int32_t snapshotCount_ = 0;
  std::int32_t snapshotIndex_ = -1;
  bool snapshotPending_ = false;
};
