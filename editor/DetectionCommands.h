// The commands that make the host run a detection or analysis pass:
// "Create PVC", "Show Hum", "Preview" and "Update". No command processes
// audio: it sets the operation mode and asks for the file list, and the
// notification that answers starts the pass.
#pragma once

class OfflineEditor;

namespace editor {

class DetectionCommands {
 public:
  explicit DetectionCommands(OfflineEditor& editor) : editor_(editor) {}

  void createPvc();
  void showHum();
  void preview();
  void updateAnalysisSettings();

 private:
  // The spectral detector's result becomes the curve at once.
  void createSpectralPvc();

  OfflineEditor& editor_;
};

}  // namespace editor
