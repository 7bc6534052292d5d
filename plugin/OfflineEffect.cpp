#include "plugin/OfflineEffect.h"

#include <cmath>
#include <cstring>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "plugin/EditorFactory.h"
#include "plugin/EditorLink.h"
#include "plugin/OfflinePasses.h"

namespace {

bool equalsIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(*a) != lower(*b)) return false;
  }
  return *a == *b;
}

void copyProgram(OfflineProgram& to, const OfflineProgram& from) {
  to.value = from.value;
  std::memcpy(to.name, from.name, sizeof to.name);
  to.curveFileName = from.curveFileName;
}

void setProcessName(VstOfflineTask& task, const char* name) {
  std::strncpy(task.processName, name, 95);
  task.processName[95] = 0;
}

}  // namespace

OfflineEffect::OfflineEffect(audioMasterCallback audioMaster) : AudioEffectX(audioMaster, 1, 1) {
  programs_.resize(static_cast<size_t>(numPrograms));
  setProgram(0);
  setUniqueID(kUniqueId);
  engines_ = std::make_unique<detect::DetectorEngines>();
  analyser_ = std::make_unique<SpectrogramAnalyser>();
  curve_ = std::make_unique<PvcCurve>();
  EditorParts parts = createEditor(*this);
  editorLink_ = parts.link;
  setEditor(std::move(parts.editor));
}

OfflineEffect::~OfflineEffect() {
  // The editor releases the engine of its algorithm and clears the curve's
  // snapshots when it goes, so it goes first, not in the base teardown.
  setEditor(nullptr);
  editorLink_ = nullptr;
  programs_.clear();
  curve_.reset();
  analyser_.reset();
  files_.forget();
}

int OfflineEffect::operationMode() const {
  float value = current_.value;
  // A host may store anything in the parameter; out-of-range values are no mode.
  if (!std::isfinite(value) || value >= 2147483647.0f || value <= -2147483648.0f) return 0;
  return static_cast<int>(value);
}

void OfflineEffect::setParameter(VstInt32 /*index*/, float value) {
  current_.value = value;
  current_.curveFileName = curveFileName_;
  if (editor) editor->postUpdate();
}

float OfflineEffect::getParameter(VstInt32 index) { return index == 0 ? current_.value : 0.0f; }

void OfflineEffect::process(float** /*inputs*/, float** /*outputs*/, VstInt32 /*frames*/) {}

void OfflineEffect::setProgram(VstInt32 program) {
  if (program < 0 || program >= numPrograms) return;
  copyProgram(programs_[static_cast<size_t>(curProgram)], current_);
  curProgram = program;
  copyProgram(current_, programs_[static_cast<size_t>(program)]);
  if (editor) editor->postUpdate();
}

void OfflineEffect::setProgramName(const char* name) {
  std::strncpy(current_.name, name, sizeof current_.name - 1);
  current_.name[sizeof current_.name - 1] = 0;
}

void OfflineEffect::getProgramName(char* text) { std::strcpy(text, current_.name); }

void OfflineEffect::getParameterName(VstInt32 index, char* text) {
  if (index == 0) std::strcpy(text, "Type");
}

void OfflineEffect::getParameterLabel(VstInt32 index, char* label) {
  if (index == 0) std::strcpy(label, " Type ");
}

void OfflineEffect::getParameterDisplay(VstInt32 index, char* text) {
  if (index == 0) float2string(current_.value, text);
}

VstInt32 OfflineEffect::canDo(const char* text) {
  if (equalsIgnoringCase(text, "offline") || equalsIgnoringCase(text, "noRealTime")) return 1;
  return AudioEffectX::canDo(text);
}

bool OfflineEffect::setCurveFileName(const std::string& name) {
  curveFileName_ = name;
  curveReady = false;
  return true;
}

void OfflineEffect::forgetFiles() {
  files_.forget();
  currentFileId = 0;
  channelCount = 1;
  undoAfterDraw = true;
}

void OfflineEffect::reconfigureAnalyser() {
  const EditorView& view = editorLink_->view();
  analyser_->freeColumns();
  analyser_->setFftLength(1024);
  analyser_->setSampleRate(22050);
  analyser_->setColumns(view.drawingWidth);
  analyser_->setRows(view.drawingHeight);
  analyser_->setWindow(2);
  analyser_->allocateColumns();
  analyser_->setZoom(1.0f);
  analyser_->setRange(120);
  analyser_->setFloor(12);
  analyser_->setCeiling(105);
}

bool OfflineEffect::offlineNotify(VstAudioFile* files, VstInt32 count, bool start) {
  if (count > 0 && !files) return false;
  if (!start) {
    editorLink_->notifyFiles(files, count);
    if (count > 0 && (files[0].numChannels == 1 || files[0].numChannels == 2)) {
      editorLink_->enableFileControls();
      return true;
    }
    return false;
  }
  if (editorLink_->displayState() <= 1) return false;
  setOperationMode(kModeCorrect);
  if (count <= 0) return false;
  files[0].flags |= kVstOfflineWantRead;
  files[0].plugOwned = curve_.get();
  return offlineStart(files, count, 1);
}

bool OfflineEffect::offlinePrepare(VstOfflineTask* tasks, VstInt32 count) {
  if (count <= 0 || !tasks) return false;
  switch (operationMode()) {
    case kModeRead:
    case kModePilotTone:
    case kModeSpectral:
    case kModeZoom:
      setProcessName(tasks[0], "Pelmora");
      break;
    case kModeCorrect:
      setProcessName(tasks[0], "Vantrel");
      if (count >= 2) {
        VstOfflineTask& source = tasks[0];
        VstOfflineTask& target = tasks[1];
        target.flags |= kVstOfflineFloatOutputFile | kVstOfflineStretch;
        target.numSourceChannels = source.numSourceChannels;
        target.numDestinationChannels = source.numSourceChannels;
        target.sourceSampleRate = source.sourceSampleRate;
        target.destinationSampleRate = source.sourceSampleRate;
        target.index = 0;
      }
      break;
    case kModeSelection:
      setProcessName(tasks[0], "Set Cursor / Marker / Selection");
      tasks[0].flags |= kVstOfflineNoThread;
      break;
    default:
      break;
  }
  return true;
}

void OfflineEffect::reportPassMessage(VstOfflineTask& task, const std::string& text) {
  passMessage_ = text;
  editorLink_->showMessage(text);
  std::strncpy(task.outputText, text.c_str(), sizeof task.outputText - 1);
  task.outputText[sizeof task.outputText - 1] = 0;
  task.flags |= kVstOfflinePlugError;
}

bool OfflineEffect::offlineRun(VstOfflineTask* tasks, VstInt32 count) {
  if (count <= 0 || !tasks) return false;
  passMessage_.clear();
  return runOfflinePass(*this, operationMode(), tasks, count);
}
