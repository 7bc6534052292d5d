#include "host/window/DialogWatcher.h"

#include <dlgs.h>

#include <algorithm>
#include <string>

#include "host/window/WindowPicture.h"

namespace host {

namespace {

constexpr UINT kLookMilliseconds = 100;
constexpr const char* kDialogClass = "#32770";

// The timer procedure gets no pointer of its own: the one watcher of the
// thread is kept here.
DialogWatcher* current = nullptr;


BOOL CALLBACK collectStatics(HWND child, LPARAM into) {
  auto* text = reinterpret_cast<std::string*>(into);
  if (windowClass(child) == "Static") {
    const std::string said = windowText(child);
    if (!said.empty()) *text += (text->empty() ? "" : " ") + said;
  }
  return TRUE;
}

}  // namespace

DialogWatcher::DialogWatcher() {
  current = this;
  timer_ = SetTimer(nullptr, 0, kLookMilliseconds, &DialogWatcher::tick);
}

DialogWatcher::~DialogWatcher() {
  if (timer_) KillTimer(nullptr, timer_);
  if (current == this) current = nullptr;
}

void DialogWatcher::expectFileDialog(const std::string& title, const std::string& fileName) {
  dialogTitle_ = title;
  fileName_ = fileName;
  answered_ = false;
  dialogProblem_.clear();
}

std::vector<std::string> DialogWatcher::takeBoxes() {
  std::vector<std::string> taken;
  taken.swap(boxes_);
  return taken;
}

void CALLBACK DialogWatcher::tick(HWND, UINT, UINT_PTR, DWORD) {
  if (current) current->look();
}

BOOL CALLBACK DialogWatcher::visit(HWND window, LPARAM self) {
  auto* watcher = reinterpret_cast<DialogWatcher*>(self);
  if (!IsWindowVisible(window) || windowClass(window) != kDialogClass) return TRUE;
  if (std::find(watcher->handled_.begin(), watcher->handled_.end(), window) != watcher->handled_.end()) return TRUE;
  if (!watcher->dialogTitle_.empty() && !watcher->answered_ && windowText(window) == watcher->dialogTitle_)
    watcher->answerFileDialog(window);
  else
    watcher->closeBox(window);
  return TRUE;
}

void DialogWatcher::look() { EnumThreadWindows(GetCurrentThreadId(), &DialogWatcher::visit, reinterpret_cast<LPARAM>(this)); }

void DialogWatcher::answerFileDialog(HWND dialog) {
  // The name field: an edit box in older dialogs, a combo box with an edit
  // box in the explorer-style ones.
  HWND field = GetDlgItem(dialog, cmb13);
  if (!field) field = GetDlgItem(dialog, edt1);
  HWND ok = GetDlgItem(dialog, IDOK);
  if (!field || !ok) {
    dialogProblem_ = "the \"" + dialogTitle_ + "\" dialog has no file name field or OK button";
    handled_.push_back(dialog);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return;
  }
  SetFocus(field);
  // Names come as UTF-8; the field takes them whatever the code page.
  std::wstring name(fileName_.size() + 1, L'\0');
  name.resize(static_cast<std::size_t>(std::max(0, MultiByteToWideChar(CP_UTF8, 0, fileName_.data(),
                                                                       static_cast<int>(fileName_.size()), name.data(),
                                                                       static_cast<int>(name.size())))));
  SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  answered_ = true;
  fileDialog_ = dialog;
  handled_.push_back(dialog);
  PostMessageA(ok, BM_CLICK, 0, 0);
}

void DialogWatcher::closeBox(HWND box) {
  std::string said;
  EnumChildWindows(box, &collectStatics, reinterpret_cast<LPARAM>(&said));
  const std::string title = windowText(box);
  boxes_.push_back((title.empty() ? std::string() : title + ": ") + (said.empty() ? "(no text)" : said));
  handled_.push_back(box);
  // OK, or Yes for a question; a box without either takes Cancel.
  const int answer = GetDlgItem(box, IDOK) ? IDOK : GetDlgItem(box, IDYES) ? IDYES : IDCANCEL;
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
  // A box over the file dialog refused the name: the dialog would wait for
  // another one for ever, so it is cancelled too.
  if (fileDialog_ && IsWindow(fileDialog_) && GetWindow(box, GW_OWNER) == fileDialog_) {
    PostMessageA(fileDialog_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    dialogProblem_ = "the \"" + dialogTitle_ + "\" dialog refused the name: " + boxes_.back();
  }
}

}  // namespace host
