// The curve commands: the undo history of each host file ("Undo", "Redo"
// and the steps the edits record), the manual correction's switches ("Show
// PVC Points", "Move PVC point", the tool radios) and the curve file dialogs
// ("Import PVC", "Export PVC").
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "curve/PvcHistory.h"

class OfflineEditor;

namespace editor {

class CurveCommands {
 public:
  explicit CurveCommands(OfflineEditor& editor) : editor_(editor) {}

  // The undo history of a host file id, made on first use.
  PvcHistory& historyOf(std::int32_t fileId) { return histories_[fileId]; }
  std::size_t historyCount() const { return histories_.size(); }
  // The steps' files are gone: so are the histories that stood for them.
  void forgetHistories() { histories_.clear(); }
  void updateUndoButtons();
  // One more step of the current file, tagged with what made it.
  void record(int tag);
  // A tool's edit: a snapshot, and a step when a new one was written.
  void snapshot(int tag);
  void undoEdit();
  void redoEdit();

  void chooseEditTool(int tool);
  void setShowPoints(bool on);
  void setMoveMode(bool on);
  bool showsPoints() const { return showPoints_; }

  bool importCurve();
  bool exportCurve();
  const std::string& curveFilePath() const { return curveFilePath_; }
  void setCurveFilePath(std::string path) { curveFilePath_ = std::move(path); }

 private:
  PvcHistory& currentHistory();

  OfflineEditor& editor_;
  std::map<std::int32_t, PvcHistory> histories_;
  std::string curveFilePath_;
  bool showPoints_ = false;
  // Curve file dialogs: the chosen path is proposed again next time.
  std::string importPath_;
  std::string importDirectory_;
  std::string exportDirectory_;
};

}  // namespace editor
