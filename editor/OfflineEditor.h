// The plug-in's own editor window: the window, its drawing layers and the
// host's entry points. The work is done by the parts it owns: the view
// (zoom, scroll bars, read-outs), the mouse tools, the curve commands, the
// algorithm choice, the detection commands, the detector panes and the file
// notifications. The parts reach each other through the editor. The offline
// passes reach it through EditorLink. While no window is open (a host that
// never opens the editor) it behaves as the headless editor: the host's file
// list still starts the reading pass, and a detection mode the host sets
// still runs.
#pragma once

#include <windows.h>

#include <string>

#include "editor/AlgorithmCommands.h"
#include "editor/CurveCommands.h"
#include "editor/DetectionCommands.h"
#include "editor/DisplayLayers.h"
#include "editor/EditorPanes.h"
#include "editor/EditorStates.h"
#include "editor/FileNotifications.h"
#include "editor/MouseTools.h"
#include "editor/ViewControls.h"
#include "plugin/AEffEditor.h"
#include "plugin/EditorLink.h"
#include "plugin/HeadlessEditor.h"

class OfflineEffect;

class OfflineEditor : public AEffEditor, public EditorLink {
 public:
  static constexpr int kWidth = 780;
  static constexpr int kHeight = 470;
  static constexpr int kZoomAlgorithm = ::kZoomAlgorithm;
  static constexpr const char* kWindowClass = "OfflineWindowClass";

  OfflineEditor(OfflineEffect& effect, HINSTANCE module);
  ~OfflineEditor() override;
  OfflineEditor(const OfflineEditor&) = delete;
  OfflineEditor& operator=(const OfflineEditor&) = delete;

  // AEffEditor.
  bool getRect(ERect** rect) override;
  bool open(void* parentWindow) override;
  void close() override;
  void idle() override;
  void update() {}
  // Sets the plug-in's operation mode; the first argument is not used.
  void setOperationMode(int unused, int mode);

  // EditorLink.
  EditorView& view() override { return headless_.view(); }
  int displayState() const override;
  void notifyFiles(VstAudioFile* files, VstInt32 count) override;
  void enableFileControls() override;
  void setProgress(double fraction) override;
  void updateAxes(const SpectrogramAnalyser& analyser) override;
  void drawSpectrogramColumn(int column, const SpectrogramAnalyser& analyser) override;
  void drawCurve(const PvcCurve& curve) override;
  void drawCurveWithBounds(const PvcCurve& curve, int upperRow, int lowerRow) override;
  void drawDetectorOverlay(const detect::SpectralPvcDetector& detector) override;
  void recordUndoStep(int algorithm) override;
  void showMessage(const std::string& text) override;

  // A button, list or scroll bar of the window: its row of the command
  // table runs (editor/CommandTable).
  void handleCommand(int id);
  void paint(HDC target) { layers_.paint(target); }

  // The parts.
  editor::ViewControls& viewControls() { return viewControls_; }
  editor::MouseTools& tools() { return tools_; }
  editor::CurveCommands& curves() { return curves_; }
  editor::AlgorithmCommands& algorithms() { return algorithms_; }
  editor::DetectionCommands& detection() { return detection_; }
  editor::EditorPanes& panes() { return panes_; }
  editor::FileNotifications& files() { return files_; }

  // What the parts share.
  OfflineEffect& effect() { return effect_; }
  DisplayLayers& layers() { return layers_; }
  HBITMAP splash() const { return splash_; }
  bool isOpen() const { return mainWindow_ != nullptr; }
  HWND mainWindow() const { return mainWindow_; }
  // The host is asked for its file list; its answer starts what the mode
  // asks for.
  void askForNotification();
  void drawCurrentCurve();
  void presentDisplay() { layers_.presentDisplay(); }
  void redrawSpectrogram();
  // The curve laid out again on the analyser's grid, drawn and shown.
  void relayoutCurve();

  // State a host test reads.
  int activeTool() const { return headless_.view().toolId; }
  int algorithm() const { return algorithms_.algorithm(); }
  // Number of instances with an open window, for the class registration.
  static int openInstances();

 private:
  void resetState();

  OfflineEffect& effect_;
  HINSTANCE module_;
  HeadlessEditor headless_;  // serves a host that never opens the window
  ERect rect_{0, 0, kHeight, kWidth};
  HWND mainWindow_ = nullptr;
  HWND displayWindow_ = nullptr;
  HBITMAP splash_ = nullptr;
  DisplayLayers layers_;

  editor::ViewControls viewControls_{*this};
  editor::MouseTools tools_{*this};
  editor::CurveCommands curves_{*this};
  editor::AlgorithmCommands algorithms_{*this};
  editor::DetectionCommands detection_{*this};
  editor::EditorPanes panes_{*this};
  editor::FileNotifications files_{*this};
};
