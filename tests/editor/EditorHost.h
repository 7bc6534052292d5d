// A small VST host for the editor's window tests: a top-level window to hold
// the editor, the host's side of the offline protocol (the file query is
// answered at once with effOfflineNotify, started processes are prepared and
// run before offlineStart returns unless the host refuses them, audio reads
// from a synthetic file, cursor and selection reads and writes), and a record
// of what was started.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "vst/VstAbi.h"

struct EditorHost {
  static inline EditorHost* current = nullptr;
  static constexpr int kQueryDepthLimit = 16;

  AEffect* effect = nullptr;
  HWND frame = nullptr;
  std::vector<std::vector<float>> audio;  // per channel
  VstAudioFile file{};
  int fileCount = 1;             // 0: the next query reports no file
  std::vector<VstAudioFile> others;  // listed after the chosen file
  std::vector<int> startedModes;  // operation mode at each offlineStart
  std::vector<bool> runResults;
  int queries = 0;
  int queryDepth = 0;            // queries answered inside other queries
  bool refusesStarts = false;    // offlineStart is recorded, nothing runs
  double cursorWritten = -1.0;
  int block = 4096;

  EditorHost() {
    current = this;
    frame = CreateWindowExA(0, frameClass(), "editor test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 820, 520,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  ~EditorHost() {
    if (frame) DestroyWindow(frame);
    current = nullptr;
  }
  EditorHost(const EditorHost&) = delete;
  EditorHost& operator=(const EditorHost&) = delete;

  static const char* frameClass() {
    static bool registered = false;
    if (!registered) {
      WNDCLASSA c{};
      c.lpfnWndProc = DefWindowProcA;
      c.hInstance = GetModuleHandleA(nullptr);
      c.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
      c.lpszClassName = "PelmoraEditorTestFrame";
      RegisterClassA(&c);
      registered = true;
    }
    return "PelmoraEditorTestFrame";
  }

  // A mono or stereo file with one tone; with wow, its speed wavers by
  // the given depth (0.05 = 5 %) at wowHz.
  void makeTone(double sampleRate, int frames, int channels, double hz, int uniqueId, double wowDepth = 0.0,
                double wowHz = 0.0) {
    constexpr double kTwoPi = 2.0 * 3.14159265358979;
    audio.assign(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(frames)));
    double phase = 0.0;
    for (int i = 0; i < frames; ++i) {
      const float s = static_cast<float>(0.5 * std::sin(phase));
      for (auto& c : audio) c[static_cast<size_t>(i)] = s;
      const double speed = 1.0 + wowDepth * std::sin(kTwoPi * wowHz * i / sampleRate);
      phase += kTwoPi * hz * speed / sampleRate;
    }
    file = VstAudioFile{};
    std::strcpy(file.name, "editor-test-take");
    file.uniqueId = uniqueId;
    file.sampleRate = sampleRate;
    file.numChannels = channels;
    file.numFrames = frames;
    file.editCursorPosition = 0;
    file.selectionStart = -1;  // no selection
    file.selectionSize = 0;
  }

  static VstIntPtr VSTCALLBACK callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                        float) {
    return current ? current->handle(opcode, index, value, ptr) : 0;
  }

  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr) {
    return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
  }

  // The host tells the plug-in its file list, as after a query.
  bool notify() {
    std::vector<VstAudioFile> list{file};
    list.insert(list.end(), others.begin(), others.end());
    const int count = fileCount > 0 ? static_cast<int>(list.size()) : 0;
    return dispatch(effOfflineNotify, 0, count, count > 0 ? list.data() : nullptr) != 0;
  }

  bool openEditor() {
    ERect* rect = nullptr;
    if (!dispatch(effEditGetRect, 0, 0, &rect) || !rect) return false;
    return dispatch(effEditOpen, 0, 0, frame) != 0;
  }

  VstIntPtr handle(VstInt32 opcode, VstInt32 newFiles, VstIntPtr option, void* ptr) {
    auto* task = static_cast<VstOfflineTask*>(ptr);
    switch (opcode) {
      case audioMasterVersion:
        return 2300;
      case audioMasterOfflineStart:
        return start(newFiles);
      case audioMasterOfflineRead:
        if (option == kVstOfflineQueryFiles) {
          // A plug-in that asks again from every notification is cut off
          // here, so a test sees its passes counted instead of a stack overflow.
          if (queryDepth >= kQueryDepthLimit) return 0;
          ++queries;
          ++queryDepth;
          notify();
          --queryDepth;
          return 1;
        }
        if (!task) return 0;
        if (option == kVstOfflineAudio) return readAudio(*task);
        return option == kVstOfflineCursor || option == kVstOfflineSelection;
      case audioMasterOfflineWrite:
        if (task && option == kVstOfflineCursor) cursorWritten = task->positionToProcessFrom;
        return task != nullptr;
      default:
        return 0;
    }
  }

  VstIntPtr readAudio(VstOfflineTask& task) {
    auto** in = static_cast<float**>(task.inputBuffer);
    const auto from = static_cast<size_t>(task.readPosition);
    for (size_t c = 0; c < audio.size(); ++c)
      for (int i = 0; i < task.readCount; ++i) {
        const size_t at = from + static_cast<size_t>(i);
        in[c][i] = at < audio[c].size() ? audio[c][at] : 0.0f;
      }
    task.readPosition += task.readCount;
    return 1;
  }

  VstIntPtr start(int newFiles) {
    startedModes.push_back(static_cast<int>(effect->getParameter(effect, 0)));
    if (refusesStarts) return 0;
    const int channels = static_cast<int>(audio.size());
    std::vector<std::vector<float>> in(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(block)));
    std::vector<float*> inPointers;
    for (auto& v : in) inPointers.push_back(v.data());
    VstOfflineTask tasks[2]{};
    for (VstOfflineTask& t : tasks) {
      t.numFramesInSourceFile = file.numFrames;
      t.numFramesToProcess = file.numFrames;
      t.sourceSampleRate = file.sampleRate;
      t.numSourceChannels = channels;
    }
    tasks[0].sizeInputBuffer = block;
    tasks[0].inputBuffer = inPointers.data();
    const int count = 1 + (newFiles > 0 ? 1 : 0);
    if (!dispatch(effOfflinePrepare, 0, count, tasks)) return 0;
    runResults.push_back(dispatch(effOfflineRun, 0, count, tasks) != 0);
    return 1;
  }

  // Lets every window paint what it shows, as a message loop would.
  void repaint() {
    RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }

  int startsInMode(int mode) const {
    int n = 0;
    for (int m : startedModes) n += m == mode;
    return n;
  }
};
