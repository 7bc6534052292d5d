// The Windows library's editor: the window editor, which also serves a host
// that never opens a window.
#include <windows.h>

#include <memory>

#include "editor/OfflineEditor.h"
#include "plugin/EditorFactory.h"

extern HINSTANCE pelmoraInstance;  // kept by the library's load routine

EditorParts createEditor(OfflineEffect& effect) {
  auto editor = std::make_unique<OfflineEditor>(effect, pelmoraInstance);
  EditorLink* link = editor.get();
  return {std::move(editor), link};
}
