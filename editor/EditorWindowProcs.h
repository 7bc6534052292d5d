// The editor's window procedures: the main window, the spectrogram display
// and the subclassed scroll bars. They route messages to the editor and do
// little else.
#pragma once

#include <windows.h>

class OfflineEditor;

namespace editor {

LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK displayProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK scrollBarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The editor a window belongs to (its user data), or null.
OfflineEditor* editorOf(HWND window);
void attachEditor(HWND window, OfflineEditor* editor);

// The display control's own procedure, saved when it is subclassed.
void setDisplayPrevious(WNDPROC procedure);

}  // namespace editor
