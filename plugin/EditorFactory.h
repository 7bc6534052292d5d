// Makes the plug-in's editor. The base class owns it as its AEffEditor; the
// passes reach it through the EditorLink.
#pragma once

#include <memory>

#include "plugin/AEffEditor.h"

class OfflineEffect;
class EditorLink;

struct EditorParts {
  std::unique_ptr<AEffEditor> editor;
  EditorLink* link = nullptr;
};

EditorParts createEditor(OfflineEffect& effect);
