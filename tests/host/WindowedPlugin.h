// A plug-in with a real editor window, made in the test: a display control
// (id 10) that its reading pass draws on directly and whose click asks the host for the file list and then sets a mark,
// a reading process started on the next notification, and a copying process
// started from the host. It counts what a host must never do to it: run a
// process while the plug-in is inside a call of its own.
#pragma once

#include <windows.h>

#include <cstring>

#include "editor/ControlIds.h"
#include "vst/VstAbi.h"

class WindowedPlugin {
 public:
  static constexpr COLORREF kBefore = RGB(40, 80, 200);
  static constexpr COLORREF kAfter = RGB(230, 60, 30);

  AEffect effect{};
  bool hasEditor = true;
  ERect rect{0, 0, 120, 240};  // top, left, bottom, right
  HWND editor = nullptr;
  HWND display = nullptr;
  float mode = 2.0f;
  int depth = 0;
  int processesInsideOwnCall = 0;
  int idles = 0;
  int notifications = 0;
  bool clicked = false;
  bool markAfterQuery = false;
  bool markSeenByNotification = false;
  bool fileRead = false;
  bool editorClosed = false;
  bool closedBeforeWindowWent = false;
  double selectionToSet = 30.0;

  explicit WindowedPlugin(audioMasterCallback callback) : host_(callback) {
    effect.magic = kEffectMagic;
    effect.dispatcher = &dispatch;
    effect.setParameter = [](AEffect* e, VstInt32, float v) { self(e).mode = v; };
    effect.getParameter = [](AEffect* e, VstInt32) { return self(e).mode; };
    effect.numPrograms = 1;
    effect.numParams = 1;
    effect.flags = 1;  // has an editor
    effect.object = this;
  }
  WindowedPlugin(const WindowedPlugin&) = delete;
  WindowedPlugin& operator=(const WindowedPlugin&) = delete;

 private:
  struct Depth {
    explicit Depth(WindowedPlugin& p) : p(p) { ++p.depth; }
    ~Depth() { --p.depth; }
    WindowedPlugin& p;
  };

  static WindowedPlugin& self(AEffect* e) { return *static_cast<WindowedPlugin*>(e->object); }

  VstIntPtr call(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr) {
    return host_(&effect, opcode, index, value, ptr, 0.0f);
  }

  static LRESULT CALLBACK displayProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* p = reinterpret_cast<WindowedPlugin*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!p) return DefWindowProcA(window, message, wParam, lParam);
    Depth inside(*p);
    if (message == WM_LBUTTONUP) {
      p->clicked = true;
      p->call(audioMasterOfflineRead, 1, kVstOfflineQueryFiles, nullptr);
      p->markAfterQuery = true;
      return 0;
    }
    if (message == WM_PAINT) {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      p->fill(dc, kBefore);
      EndPaint(window, &paint);
      return 0;
    }
    return CallWindowProcA(p->staticProcedure_, window, message, wParam, lParam);
  }

  void fill(HDC dc, COLORREF colour) {
    RECT area;
    GetClientRect(display, &area);
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &area, brush);
    DeleteObject(brush);
  }

  bool openEditor(HWND parent) {
    if (!hasEditor) return false;
    editor = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, rect.right, rect.bottom, parent, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    display = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 10, 10, 200, 80, editor,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(editor::kDisplay)), GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(display, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    staticProcedure_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(display, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&displayProcedure)));
    return true;
  }

  VstIntPtr notify(VstAudioFile* files, VstInt32 count, bool start) {
    if (count <= 0) return 0;
    if (start) {
      if (!fileRead) return 0;
      mode = 2.0f;
      files[0].flags |= kVstOfflineWantRead;
      files[0].plugOwned = this;
      return call(audioMasterOfflineStart, 1, count, files);
    }
    ++notifications;
    if (clicked && !fileRead) {
      markSeenByNotification = markAfterQuery;
      mode = 1.0f;
      files[0].flags |= kVstOfflineWantRead;
      call(audioMasterOfflineStart, 0, count, files);
      mode = 2.0f;
    }
    return 1;
  }

  bool readAll(VstOfflineTask& task) {
    std::strcpy(task.progressText, "Reading");
    for (double remaining = task.numFramesToProcess; remaining > 0; remaining -= task.readCount) {
      task.progress = 1.0 - remaining / task.numFramesToProcess;
      task.readCount = remaining < task.sizeInputBuffer ? static_cast<VstInt32>(remaining) : task.sizeInputBuffer;
      if (!call(audioMasterOfflineRead, 1, kVstOfflineAudio, &task)) return false;
    }
    return true;
  }

  bool run(VstOfflineTask* tasks, VstInt32 count) {
    if (mode == 1.0f) {
      if (!readAll(tasks[0])) return false;
      fileRead = true;
      // As an editor moves the host's selection.
      tasks[0].positionToProcessFrom = selectionToSet;
      tasks[0].numFramesToProcess = 20;
      tasks[0].index = -1;
      call(audioMasterOfflineWrite, 0, kVstOfflineSelection, &tasks[0]);
      // As Pelmora's editor draws its columns: straight onto the window,
      // while paint requests only ever show the first picture.
      if (display) {
        HDC dc = GetDC(display);
        fill(dc, kAfter);
        ReleaseDC(display, dc);
      }
      return true;
    }
    if (mode != 2.0f || count < 2 || tasks[0].plugOwned != reinterpret_cast<VstIntPtr>(this)) return false;
    // The copy: every frame of the file into the new file.
    VstOfflineTask& source = tasks[0];
    VstOfflineTask& target = tasks[1];
    for (double remaining = source.numFramesToProcess; remaining > 0; remaining -= source.readCount) {
      source.readCount = remaining < source.sizeInputBuffer ? static_cast<VstInt32>(remaining) : source.sizeInputBuffer;
      source.progress = 1.0 - remaining / source.numFramesToProcess;
      if (!call(audioMasterOfflineRead, 1, kVstOfflineAudio, &source)) return false;
      auto** in = static_cast<float**>(source.inputBuffer);
      auto** out = static_cast<float**>(target.outputBuffer);
      for (int i = 0; i < source.readCount; ++i) out[0][i] = in[0][i];
      target.writeCount = source.readCount;
      if (!call(audioMasterOfflineWrite, 0, kVstOfflineAudio, &target)) return false;
    }
    return true;
  }

  static VstIntPtr VSTCALLBACK dispatch(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                        float) {
    WindowedPlugin& p = self(e);
    if ((opcode == effOfflinePrepare || opcode == effOfflineRun) && p.depth > 0) ++p.processesInsideOwnCall;
    Depth inside(p);
    auto* tasks = static_cast<VstOfflineTask*>(ptr);
    switch (opcode) {
      case effEditGetRect:
        *static_cast<ERect**>(ptr) = &p.rect;
        return 1;
      case effEditOpen:
        return p.openEditor(static_cast<HWND>(ptr)) ? 1 : 0;
      case effEditClose:
        p.editorClosed = true;
        p.closedBeforeWindowWent = p.editor && IsWindow(p.editor);
        return 0;
      case effEditIdle:
        ++p.idles;
        return 0;
      case effOfflineNotify:
        return p.notify(static_cast<VstAudioFile*>(ptr), static_cast<VstInt32>(value), index != 0);
      case effOfflinePrepare:
        std::strcpy(tasks[0].processName, p.mode == 1.0f ? "Read" : "Copy");
        if (p.mode == 2.0f && value >= 2) {
          tasks[1].numDestinationChannels = 1;
          tasks[1].destinationSampleRate = tasks[0].sourceSampleRate;
        }
        return 1;
      case effOfflineRun:
        return p.run(tasks, static_cast<VstInt32>(value)) ? 1 : 0;
      default:
        return 0;
    }
  }

  audioMasterCallback host_;
  WNDPROC staticProcedure_ = nullptr;
};
