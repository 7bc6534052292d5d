// The shipped Pelmora.dll as a host loads it: the splash bitmap it carries,
// its editor window, and a host that never opens the editor.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "editor/ControlIds.h"
#include "tests/editor/EditorHost.h"
#include "tests/plugin/ShippedPlugin.h"

namespace {

class EditorLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(library.module(), nullptr);
    ASSERT_NE(library.entry(), nullptr);
    host.makeTone(22050.0, 30000, 2, 1000.0, 12);
    host.effect = library.entry()(&EditorHost::callback);
    ASSERT_NE(host.effect, nullptr);
  }
  void TearDown() override {
    if (host.effect) host.dispatch(effClose, 0, 0, nullptr);
  }

  EditorHost host;
  ShippedPlugin library;
};

TEST_F(EditorLibrary, CarriesTheSplashBitmap) {
  HRSRC resource = FindResourceA(library.module(), MAKEINTRESOURCEA(102), MAKEINTRESOURCEA(2));  // RT_BITMAP
  ASSERT_NE(resource, nullptr);
  const auto* header =
      static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(library.module(), resource)));
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->biWidth, 670);
  EXPECT_EQ(header->biHeight, 260);
  EXPECT_EQ(header->biBitCount, 24);
}

TEST_F(EditorLibrary, OpensItsWindowInTheHostsWindow) {
  ASSERT_TRUE(host.openEditor());
  HWND editor = FindWindowExA(host.frame, nullptr, "OfflineWindowClass", nullptr);
  ASSERT_NE(editor, nullptr);
  RECT r{};
  GetClientRect(editor, &r);
  EXPECT_EQ(r.right, 780);
  EXPECT_EQ(r.bottom, 470);
  ASSERT_TRUE(host.notify());
  SendMessageA(GetDlgItem(editor, editor::kDisplay), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
  SendMessageA(GetDlgItem(editor, editor::kDisplay), WM_LBUTTONUP, 0, MAKELPARAM(100, 100));
  EXPECT_EQ(host.startedModes, std::vector<int>{1});
  host.dispatch(effEditClose, 0, 0, nullptr);
  EXPECT_EQ(FindWindowExA(host.frame, nullptr, "OfflineWindowClass", nullptr), nullptr);
}

// Without a window the first file list still starts the reading pass, and a
// detection mode the host sets still runs its pass.
TEST_F(EditorLibrary, AHostThatNeverOpensTheEditorStillGetsItsPasses) {
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(host.startedModes, std::vector<int>{1});
  EXPECT_EQ(host.runResults, std::vector<bool>{true});

  host.effect->setParameter(host.effect, 0, 4.0f);  // pilot tone: the rate is too low
  host.notify();
  EXPECT_EQ(host.startedModes, std::vector<int>{1}) << "no engine, no pass";
  host.makeTone(44100.0, 30000, 1, 1000.0, 13);  // another file, read first
  EXPECT_TRUE(host.notify());
  host.effect->setParameter(host.effect, 0, 4.0f);
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(host.startedModes, (std::vector<int>{1, 1, 4}));
  EXPECT_EQ(host.effect->getParameter(host.effect, 0), 2.0f);
}

}  // namespace
