// The choice of algorithm: the list and the "Zoom" button, the checks and
// messages of each algorithm, leaving the one before, and the linear and
// logarithmic frequency scale ("Lin", "Log"), which only the zoom works on.
#pragma once

#include "editor/EditorStates.h"

class OfflineEditor;

namespace editor {

class AlgorithmCommands {
 public:
  explicit AlgorithmCommands(OfflineEditor& editor) : editor_(editor) {}

  // What a new window starts with: the zoom, remembered as well.
  void reset();

  void selectAlgorithm(int algorithm);
  bool leaveAlgorithm(int algorithm);
  void selectRememberedAlgorithm() { selectAlgorithm(rememberedAlgorithm_); }
  // The algorithm list's item chosen; item 0 ("Zoom") chooses none.
  void chooseListedAlgorithm(int item);
  // "Zoom": the zoom tool in place of the algorithm until the right button.
  void zoomPressed();

  void selectLinearScale();
  void selectLogScale();

  int algorithm() const { return algorithm_; }
  // A command whose pass must run as the zoom's sets the algorithm for the
  // time of its request.
  void setAlgorithm(int algorithm) { algorithm_ = algorithm; }
  int lastAlgorithm() const { return lastAlgorithm_; }
  bool linearScale() const { return linearScale_; }

 private:
  void hideZoomHint();
  void settleView();
  void leaveHumOnlyDisplay(bool askForPass);

  OfflineEditor& editor_;
  int algorithm_ = kZoomAlgorithm;
  int rememberedAlgorithm_ = kZoomAlgorithm;
  int lastAlgorithm_ = 0;
  bool linearScale_ = true;
  int savedTool_ = kToolNone;  // the tool the logarithmic scale put away
};

}  // namespace editor
