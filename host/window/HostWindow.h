// pelmora-host's top-level window: the plug-in's editor on top, and under it
// the host's own "Process" and "Close" buttons, a progress bar and a status
// line. The window only routes what happens to it to its owner.
#pragma once

#include <windows.h>

#include <string>

namespace host {

class HostWindowEvents {
 public:
  virtual void processPressed() = 0;
  virtual void closeRequested() = 0;
  virtual void idleTick() = 0;        // a timer: the editor's idle call
  virtual void requestsWaiting() = 0; // the plug-in's queued requests
 protected:
  ~HostWindowEvents() = default;
};

class HostWindow {
 public:
  // Control ids of the host's own controls, clear of the editor's ids.
  static constexpr int kProcessId = 9001;
  static constexpr int kCloseId = 9002;
  static constexpr int kProgressId = 9003;
  static constexpr int kStatusId = 9004;
  static constexpr int kEditorFrameId = 9005;
  static constexpr UINT kRequestsMessage = WM_APP + 17;
  static constexpr UINT_PTR kIdleTimer = 1;
  static constexpr UINT kIdleMilliseconds = 50;

  HostWindow(HostWindowEvents& events, const std::string& title, int editorWidth, int editorHeight);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  bool created() const { return window_ != nullptr; }
  HWND window() const { return window_; }
  // The child the editor is opened in, the size the plug-in asked for.
  HWND editorFrame() const { return frame_; }
  // The editor's own window, once the plug-in has made one in the frame.
  HWND editorWindow() const;

  void show();
  // Asks the loop to call requestsWaiting; safe to call from anywhere.
  void wakeForRequests();
  void setStatus(const std::string& text);
  // A fraction 0..1; negative hides the bar.
  void setProgress(double fraction);
  // Lets the window repaint while a long process holds the loop: only paint
  // messages are handled, so nothing re-enters the plug-in.
  void paintPending();
  void destroy();

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

  HostWindowEvents& events_;
  HWND window_ = nullptr;
  HWND frame_ = nullptr;
  HWND progress_ = nullptr;
  HWND status_ = nullptr;
  bool wakePosted_ = false;
};

}  // namespace host
