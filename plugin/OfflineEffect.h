// The plug-in object: answers every host request, owns the curve, the
// analyser, the editor and the detector engines, and holds the state the
// editor and the offline passes share.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "detect/OperationModes.h"
#include "plugin/AudioEffectX.h"
#include "plugin/FileTable.h"
#include "plugin/OfflineProgram.h"

class SpectrogramAnalyser;
class PvcCurve;
class EditorLink;
namespace detect {
class DetectorEngines;
}

class OfflineEffect : public AudioEffectX {
 public:
  static constexpr VstInt32 kUniqueId = vstFourCC('M', 'O', 'J', 'E');
  static constexpr int kEditorWidth = 780;
  static constexpr int kEditorHeight = 470;

  explicit OfflineEffect(audioMasterCallback audioMaster);
  ~OfflineEffect() override;

  // Host requests.
  void setParameter(VstInt32 index, float value) override;
  float getParameter(VstInt32 index) override;
  void process(float** inputs, float** outputs, VstInt32 frames) override;
  void setProgram(VstInt32 program) override;
  void setProgramName(const char* name) override;
  void getProgramName(char* text) override;
  void getParameterName(VstInt32 index, char* text) override;
  void getParameterLabel(VstInt32 index, char* label) override;
  void getParameterDisplay(VstInt32 index, char* text) override;
  VstInt32 canDo(const char* text) override;
  bool offlineNotify(VstAudioFile* files, VstInt32 count, bool start) override;
  bool offlinePrepare(VstOfflineTask* tasks, VstInt32 count) override;
  bool offlineRun(VstOfflineTask* tasks, VstInt32 count) override;

  // Used by the editor and the passes.
  void setOperationMode(float mode) { setParameter(0, mode); }
  // The mode as an integer; a value that is not a number is no mode.
  int operationMode() const;
  bool setCurveFileName(const std::string& name);
  const std::string& curveFileName() const { return curveFileName_; }
  void reconfigureAnalyser();

  void setFileCount(int n) { files_.setFileCount(n); }
  void setFileId(int i, std::int32_t uniqueId) { files_.setFileId(i, uniqueId); }
  bool isOtherFile(std::int32_t uniqueId) const { return uniqueId != currentFileId; }
  void rebuildFileSteps() { files_.rebuildFileSteps(); }
  std::int32_t stepOfFile(std::int32_t uniqueId) const { return files_.stepOfFile(uniqueId); }
  void setStepOfFile(std::int32_t uniqueId, std::int32_t step) { files_.setStepOfFile(uniqueId, step); }
  void forgetFiles();
  // Every known file back to no undo step; the ids stay.
  void zeroFileSteps() { files_.zeroSteps(); }
  const FileTable& fileTable() const { return files_; }

  PvcCurve& curve() { return *curve_; }
  SpectrogramAnalyser& analyser() { return *analyser_; }
  EditorLink& editorLink() { return *editorLink_; }
  detect::DetectorEngines& engines() { return *engines_; }
  const OfflineProgram& currentProgram() const { return current_; }
  // What the last pass had to say about its outcome (empty when it had
  // nothing to say): shown in the editor's message area and put into the
  // task's outputText, flagged as the plug-in's error, for the host.
  const std::string& lastPassMessage() const { return passMessage_; }
  void reportPassMessage(VstOfflineTask& task, const std::string& text);
  // The same without a task: for a request refused before any pass starts.
  void notePassMessage(const std::string& text) { passMessage_ = text; }
  void clearPassMessage() { passMessage_.clear(); }
  float hostSampleRate() const { return sampleRate; }
  VstInt32 hostBlockSize() const { return blockSize; }

  // State shared by the editor and the passes.
  bool curveReady = false;
  bool rateChanged = false;
  bool analysisChanged = false;
  std::int32_t currentFileId = 0;
  bool undoAfterDraw = true;
  std::int32_t channelCount = 1;
  bool undoAfterZoom = false;

 private:
  std::unique_ptr<detect::DetectorEngines> engines_;
  std::unique_ptr<PvcCurve> curve_;
  std::unique_ptr<SpectrogramAnalyser> analyser_;
  std::string curveFileName_;
  std::string passMessage_;
  FileTable files_;
  EditorLink* editorLink_ = nullptr;  // owned by the base as its editor
  std::vector<OfflineProgram> programs_;
  OfflineProgram current_;
};
