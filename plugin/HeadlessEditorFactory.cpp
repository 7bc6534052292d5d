// The plug-in's editor where there is no window system: the headless one.
// The Windows library links the window editor's factory instead.
#include <memory>

#include "plugin/EditorFactory.h"
#include "plugin/HeadlessEditor.h"

EditorParts createEditor(OfflineEffect& effect) {
  auto editor = std::make_unique<HeadlessEditor>(effect);
  EditorLink* link = editor.get();
  return {std::move(editor), link};
}
