// A window test's plug-in: made through the editor test host for a mono tone,
// with its object and its window editor at hand; the editor and the plug-in
// are closed at the end.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include "editor/OfflineEditor.h"
#include "plugin/OfflineEffect.h"
#include "plugin/PluginEntry.h"
#include "tests/editor/EditorHost.h"

class EditorFixture : public ::testing::Test {
 protected:
  void make(double rate, int frames, double toneHz) {
    host.makeTone(rate, frames, 1, toneHz, 7);
    host.effect = createPelmora(&EditorHost::callback);
    ASSERT_NE(host.effect, nullptr);
    plugin = static_cast<OfflineEffect*>(host.effect->object);
    editor = dynamic_cast<OfflineEditor*>(plugin->getEditor());
    ASSERT_NE(editor, nullptr);
  }
  void TearDown() override {
    if (host.effect) {
      host.dispatch(effEditClose, 0, 0, nullptr);
      host.dispatch(effClose, 0, 0, nullptr);
    }
  }

  HWND mainWindow() const { return FindWindowExA(host.frame, nullptr, OfflineEditor::kWindowClass, nullptr); }
  HWND control(int id) const { return GetDlgItem(mainWindow(), id); }

  EditorHost host;
  OfflineEffect* plugin = nullptr;
  OfflineEditor* editor = nullptr;
};
