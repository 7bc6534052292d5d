// Works the plug-in's editor the way a person does, with the messages a
// person's clicks, drags, list choices and scroll-bar clicks produce, sent
// to the controls found by id under the editor's window; and reads back
// what the editor shows. Every step waits for the passes it starts.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "host/window/DisplayMapping.h"

namespace host {

class DialogWatcher;
class InteractiveSession;

class EditorDriver {
 public:
  // The session's window must hold the editor.
  EditorDriver(InteractiveSession& session, DialogWatcher& watcher, unsigned passTimeoutMs);

  HWND editor() const { return editor_; }
  HWND control(int id) const;
  std::string text(int id) const;
  bool shown(int id) const;  // visible and enabled, so a person can use it

  // Handles messages for a while, or until nothing is queued for the plug-in.
  void settle(unsigned milliseconds);
  bool quiet(unsigned timeoutMs);

  // A press and release at one point of the display.
  void clickDisplay(int x, int y);
  // Press at the first point, moves with the button held through the others,
  // release at the last.
  void dragDisplay(const std::vector<POINT>& path);
  void rightClickDisplay(int x, int y);
  // A click on a push button of the editor: its notification to the editor.
  bool pressButton(int id, std::string& problem);
  // A choice in a drop-down list, as the list tells its parent.
  bool chooseListItem(int id, const std::string& itemText, std::string& problem);
  // One click on a scroll bar's arrow: up (towards its top) or down.
  void stepBar(int id, bool up);
  int barPosition(int id) const;
  // Brings a scroll bar to a position as a person does: the thumb dragged
  // near it, then clicks on the arrows. False when the bar does not get there.
  bool moveBarTo(int id, int position);

  // The display's layout from the editor's labels.
  std::optional<DisplayMapping> mapping(std::string& problem) const;

  // Waits for the passes an action started: at least one must begin within
  // answerMs, and all must have ended in time. False with what went wrong.
  bool waitForPasses(std::size_t before, unsigned answerMs, const std::string& action, std::string& problem);
  std::size_t passCount() const;

  // Boxes the watcher closed, as one text; empty when none.
  std::string boxesShown();

 private:
  InteractiveSession& session_;
  DialogWatcher& watcher_;
  HWND editor_ = nullptr;
  unsigned passTimeoutMs_;
};

}  // namespace host
