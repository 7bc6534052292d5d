// Answers the boxes and dialogs the editor opens while pelmora-host works
// it: a thread timer, which also fires inside their modal loops, finds them
// among the thread's windows. A file dialog with the expected title gets a
// name typed into its name field and its OK button pressed, as a person
// would; any other box is noted, so the caller can say what it said, and
// closed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace host {

class DialogWatcher {
 public:
  DialogWatcher();
  ~DialogWatcher();
  DialogWatcher(const DialogWatcher&) = delete;
  DialogWatcher& operator=(const DialogWatcher&) = delete;

  // The next dialog titled so gets this file name and its OK.
  void expectFileDialog(const std::string& title, const std::string& fileName);
  bool fileDialogAnswered() const { return answered_; }
  // The dialog was there but its name field was not found.
  const std::string& fileDialogProblem() const { return dialogProblem_; }

  // The texts of the boxes closed since the last call.
  std::vector<std::string> takeBoxes();

 private:
  static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);
  static BOOL CALLBACK visit(HWND window, LPARAM self);
  void look();
  void answerFileDialog(HWND dialog);
  void closeBox(HWND box);

  UINT_PTR timer_ = 0;
  std::string dialogTitle_;
  std::string fileName_;
  bool answered_ = false;
  std::string dialogProblem_;
  std::vector<std::string> boxes_;
  std::vector<HWND> handled_;
  HWND fileDialog_ = nullptr;
};

}  // namespace host
