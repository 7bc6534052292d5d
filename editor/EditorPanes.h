// The detector panes: showing and hiding the pane of an algorithm with its
// detector's parameters (names, values, bar positions), the hum pane's
// basic and advanced forms, and what moving a pane's bar does to its
// detector. The hum bars' rules are decided in editor/HumBars.
#pragma once

class OfflineEditor;

namespace editor {

class EditorPanes {
 public:
  explicit EditorPanes(OfflineEditor& editor) : editor_(editor) {}

  void showPane(int algorithm, bool show);
  // The hum pane in its basic or advanced form.
  void layOutHumPane(bool advanced);
  // "Advanced >" and "< Basic".
  void toggleAdvanced();
  bool advanced() const { return advanced_; }

  // A pane's bar moved: the detector's parameter and its read-out follow.
  void moveHumBar(int bar);
  void movePilotBar(int bar);
  void moveSpectralBar(int bar);

 private:
  void showHumPane(bool show);
  void showPilotTonePane(bool show);
  void showManualPane(bool show);
  void showSpectralPane(bool show);

  OfflineEditor& editor_;
  bool advanced_ = false;
};

}  // namespace editor
