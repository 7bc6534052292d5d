// The editor window in a host's window, worked with the window messages a
// person's clicks and keys produce and read back through Win32.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "editor/ColourTable.h"
#include "editor/ControlIds.h"
#include "editor/ControlTable.h"
#include "editor/OfflineEditor.h"
#include "editor/Panes.h"
#include "editor/TimeFormat.h"
#include "plugin/OfflineEffect.h"
#include "plugin/PluginEntry.h"
#include "tests/editor/BoxAnswerer.h"
#include "tests/editor/EditorFixture.h"
#include "tests/editor/EditorHost.h"
#include "tests/editor/WindowCapture.h"

HINSTANCE pelmoraInstance = GetModuleHandleA(nullptr);  // the splash bitmap is in this test

namespace {

constexpr double kRate = 44100.0;
constexpr int kFrames = 88200;
constexpr double kToneHz = 2000.0;

std::string textOf(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string classOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  std::string s = name;
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool shown(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

RECT placeIn(HWND window, HWND parent) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

SCROLLINFO scrollOf(HWND bar) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(bar, SB_CTL, &info);
  return info;
}

using editor_test::BoxAnswerer;

class EditorWindow : public EditorFixture {
 protected:
  void SetUp() override { make(kRate, kFrames, kToneHz); }

  void click(int x, int y) {
    HWND display = control(editor::kDisplay);
    SendMessageA(display, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(display, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  void press(int id) {
    SendMessageA(mainWindow(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control(id)));
  }
  void scrollTime(WORD request) {
    SendMessageA(mainWindow(), WM_HSCROLL, MAKEWPARAM(request, 0), reinterpret_cast<LPARAM>(control(editor::kTimeBar)));
  }

  // Open, the file list, the click on the splash picture: the reading pass.
  void openAndRead() {
    ASSERT_TRUE(host.openEditor());
    ASSERT_TRUE(host.notify());
    click(300, 100);
    ASSERT_EQ(host.startsInMode(kModeRead), 1);
  }

  void expectViewControlsShown(bool expected, bool withZoomHint) {
    for (int id : editor::kViewControlIds) {
      if (id == editor::kZoomHint && !withZoomHint) continue;
      EXPECT_EQ(shown(control(id)), expected) << "control " << id;
    }
  }
};

TEST_F(EditorWindow, GetRectGivesTheWindowSize) {
  ERect* rect = nullptr;
  ASSERT_EQ(host.dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 470);
  EXPECT_EQ(rect->right, 780);
}

// Every record of the control table became a window with its id, class,
// text, place, visibility, enabled state and check mark.
TEST_F(EditorWindow, CreatesEveryControlOfTheTable) {
  ASSERT_TRUE(host.openEditor());
  HWND main = mainWindow();
  ASSERT_NE(main, nullptr);
  RECT mainPlace = placeIn(main, host.frame);
  EXPECT_EQ(mainPlace.right - mainPlace.left, 780);
  EXPECT_EQ(mainPlace.bottom - mainPlace.top, 470);

  int children = 0;
  for (HWND c = GetWindow(main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++children;
  EXPECT_EQ(children, 97);
  for (int id = editor::kDisplay; id <= editor::kZoomHint; ++id) EXPECT_NE(GetDlgItem(main, id), nullptr) << "control " << id;

  for (const editor::ControlRecord& record : editor::editorControls()) {
    SCOPED_TRACE("control " + std::to_string(record.id));
    HWND w = GetDlgItem(main, record.id);
    ASSERT_NE(w, nullptr);
    std::string expectedClass = editor::windowClassOf(record.kind);
    for (char& c : expectedClass) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(classOf(w), expectedClass);
    if (record.kind != editor::ControlKind::DropList && record.kind != editor::ControlKind::Progress) {
      EXPECT_EQ(textOf(w), record.text);
    }
    const RECT r = placeIn(w, main);
    EXPECT_EQ(r.left, record.x);
    EXPECT_EQ(r.top, record.y);
    EXPECT_EQ(r.right - r.left, record.width);
    // A drop-down list's window is as high as its closed field.
    if (record.kind != editor::ControlKind::DropList) {
      EXPECT_EQ(r.bottom - r.top, record.height);
    }
    EXPECT_EQ(shown(w), (record.flags & editor::kVisible) != 0);
    // The spectral pane's third bar is disabled whenever the pane is hidden.
    const bool enabled = record.id == editor::kSpectralLevelBar ? false : (record.flags & editor::kDisabled) == 0;
    EXPECT_EQ(IsWindowEnabled(w) != 0, enabled);
    if (record.kind == editor::ControlKind::Check || record.kind == editor::ControlKind::Radio) {
      EXPECT_EQ(SendMessageA(w, BM_GETCHECK, 0, 0) == BST_CHECKED, (record.flags & editor::kChecked) != 0);
    }
  }
}

// The table itself against the layout as the editor's design gives it,
// row by row for the controls that are easy to get wrong.
TEST_F(EditorWindow, ControlsSitWhereTheLayoutPutsThem) {
  ASSERT_TRUE(host.openEditor());
  HWND main = mainWindow();
  struct Row {
    int id;
    const char* cls;
    const char* text;
    int x, y, w, h;
    bool visible, enabled;
  };
  const Row rows[] = {
      {editor::kDisplay, "static", "", 75, 25, 670, 260, true, true},
      {editor::kReferenceBar, "scrollbar", "S1", 755, 25, 17, 260, true, true},
      {editor::kTimeBar, "scrollbar", "S1", 75, 310, 670, 17, true, true},
      {editor::kUpperFrequency, "static", "22000", 27, 23, 40, 17, true, true},
      {editor::kEndTime, "static", "00:00.000", 675, 290, 70, 17, true, true},
      {editor::kPilotPaneIds.names[2], "static", "p3", 390, 335, 75, 26, false, true},
      {editor::kCreatePvc, "button", "Create PVC", 675, 435, 85, 20, false, true},
      {editor::kHumPaneIds.names[1], "static", "p2", 345, 330, 90, 39, false, true},
      {editor::kHumPaneIds.readouts[4], "static", "t5", 610, 458, 40, 17, false, true},
      {editor::kMovePoint, "button", "Move PVC point", 447, 335, 121, 20, false, false},
      {editor::kSmoothingPvc, "button", "Smoothing PVC", 270, 435, 118, 20, false, false},
      {editor::kPositionReadout, "static", "Pos:", 500, 5, 780, 17, false, true},
      {editor::kProgressBar, "msctls_progress32", "", 5, 455, 225, 15, false, true},
      {editor::kUndo, "button", "Undo", 5, 375, 105, 21, true, false},
      {editor::kSpectralPaneIds.names[2], "static", "p3", 430, 335, 75, 28, false, true},
      {editor::kPlay, "button", "PLAY?", 480, 5, 45, 20, false, true},
      {editor::kPilotPaneIds.bars[5], "scrollbar", "B6", 631, 367, 17, 80, false, true},
      {editor::kPilotPaneIds.readouts[5], "static", "t6", 620, 450, 40, 17, false, true},
      {editor::kZoomHint, "static", "Right-click to turn the zoom off", 30, 5, 160, 17, true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("control " + std::to_string(row.id));
    HWND w = GetDlgItem(main, row.id);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(classOf(w), row.cls);
    EXPECT_EQ(textOf(w), row.text);
    const RECT r = placeIn(w, main);
    EXPECT_EQ(r.left, row.x);
    EXPECT_EQ(r.top, row.y);
    EXPECT_EQ(r.right - r.left, row.w);
    EXPECT_EQ(r.bottom - r.top, row.h);
    EXPECT_EQ(shown(w), row.visible);
    EXPECT_EQ(IsWindowEnabled(w) != 0, row.enabled);
  }

  // "Zoom" drawn pressed, "Lin" checked, both zoom boxes checked.
  EXPECT_TRUE(SendMessageA(GetDlgItem(main, editor::kZoom), BM_GETSTATE, 0, 0) & BST_PUSHED);
  EXPECT_EQ(SendMessageA(GetDlgItem(main, editor::kLinearScale), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageA(GetDlgItem(main, editor::kLogScale), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageA(GetDlgItem(main, editor::kZoomFrequency), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageA(GetDlgItem(main, editor::kZoomTime), BM_GETCHECK, 0, 0), BST_CHECKED);

  // Fonts: buttons and texts the ANSI variable font, boxes and bars the GUI font.
  const auto ansi = reinterpret_cast<LRESULT>(GetStockObject(ANSI_VAR_FONT));
  const auto gui = reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT));
  EXPECT_EQ(SendMessageA(GetDlgItem(main, editor::kUpdate), WM_GETFONT, 0, 0), ansi);
  EXPECT_EQ(SendMessageA(GetDlgItem(main, editor::kSpectrogramLabel), WM_GETFONT, 0, 0), ansi);
  EXPECT_EQ(SendMessageA(GetDlgItem(main, editor::kAlgorithmList), WM_GETFONT, 0, 0), ansi);
  EXPECT_EQ(SendMessageA(GetDlgItem(main, editor::kLinearScale), WM_GETFONT, 0, 0), gui);
  EXPECT_EQ(SendMessageA(GetDlgItem(main, editor::kZoomFrequency), WM_GETFONT, 0, 0), gui);

  // The lists: the algorithms on "Zoom", the analyser's FFT length and window.
  HWND algorithms = GetDlgItem(main, editor::kAlgorithmList);
  EXPECT_EQ(SendMessageA(algorithms, CB_GETCOUNT, 0, 0), 6);
  EXPECT_EQ(SendMessageA(algorithms, CB_GETCURSEL, 0, 0), 0);
  char item[64] = {};
  SendMessageA(algorithms, CB_GETLBTEXT, 4, reinterpret_cast<LPARAM>(item));
  EXPECT_STREQ(item, "High-Frequency Pilot Tone Tracking");
  EXPECT_EQ(SendMessageA(GetDlgItem(main, editor::kResolutionList), CB_GETCOUNT, 0, 0), 7);
  EXPECT_EQ(SendMessageA(GetDlgItem(main, editor::kResolutionList), CB_GETCURSEL, 0, 0), 4);  // 1024
  EXPECT_EQ(SendMessageA(GetDlgItem(main, editor::kWindowList), CB_GETCURSEL, 0, 0), 2);  // Blackman

  // Scroll bars: view bars 0..100 page 2 at 50; hum bars 0..1000 at 500;
  // the spectral pane's first bar has the long page.
  const SCROLLINFO reference = scrollOf(GetDlgItem(main, editor::kReferenceBar));
  EXPECT_EQ(reference.nMin, 0);
  EXPECT_EQ(reference.nMax, 100);
  EXPECT_EQ(reference.nPage, 2u);
  EXPECT_EQ(reference.nPos, 50);
  const SCROLLINFO hum = scrollOf(GetDlgItem(main, editor::kHumPaneIds.bars[2]));
  EXPECT_EQ(hum.nMax, 1000);
  EXPECT_EQ(hum.nPos, 500);
  EXPECT_EQ(scrollOf(GetDlgItem(main, editor::kSpectralPaneIds.bars[0])).nPage, 20u);
  EXPECT_EQ(scrollOf(GetDlgItem(main, editor::kSpectralPaneIds.bars[1])).nPage, 2u);
}

TEST_F(EditorWindow, RegistersTheClassOnceAndUnregistersAfterTheLastClose) {
  WNDCLASSA info{};
  const HINSTANCE module = GetModuleHandleA(nullptr);
  EXPECT_FALSE(GetClassInfoA(module, OfflineEditor::kWindowClass, &info));
  ASSERT_TRUE(host.openEditor());
  EXPECT_TRUE(GetClassInfoA(module, OfflineEditor::kWindowClass, &info));

  // A second plug-in with its editor open in another window.
  AEffect* second = createPelmora(&EditorHost::callback);
  ASSERT_NE(second, nullptr);
  HWND otherFrame = CreateWindowExA(0, EditorHost::frameClass(), "second", WS_OVERLAPPEDWINDOW, 0, 0, 820, 520,
                                    nullptr, nullptr, module, nullptr);
  ASSERT_EQ(second->dispatcher(second, effEditOpen, 0, 0, otherFrame, 0), 1);
  EXPECT_EQ(OfflineEditor::openInstances(), 2);

  host.dispatch(effEditClose, 0, 0, nullptr);
  EXPECT_EQ(mainWindow(), nullptr) << "the closed editor's window is gone";
  EXPECT_TRUE(GetClassInfoA(module, OfflineEditor::kWindowClass, &info)) << "still in use by the second editor";

  second->dispatcher(second, effEditClose, 0, 0, nullptr, 0);
  EXPECT_FALSE(GetClassInfoA(module, OfflineEditor::kWindowClass, &info));
  second->dispatcher(second, effClose, 0, 0, nullptr, 0);
  DestroyWindow(otherFrame);

  ASSERT_TRUE(host.openEditor());
  EXPECT_TRUE(GetClassInfoA(module, OfflineEditor::kWindowClass, &info));
  EXPECT_NE(control(editor::kAlgorithmList), nullptr);
  EXPECT_EQ(OfflineEditor::openInstances(), 1);

  // An open without a parent window makes nothing and counts nothing.
  host.dispatch(effEditClose, 0, 0, nullptr);
  EXPECT_EQ(host.dispatch(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(OfflineEditor::openInstances(), 0);
  EXPECT_FALSE(GetClassInfoA(module, OfflineEditor::kWindowClass, &info));
}

// The file list shows the splash picture; a click on it shows the view
// controls and starts the reading pass, which paints the spectrogram
// column by column with the flat curve over it.
TEST_F(EditorWindow, FirstFileShowsTheSplashAndAClickDrawsTheSpectrogram) {
  ASSERT_TRUE(host.openEditor());
  ASSERT_TRUE(host.notify());
  EXPECT_TRUE(host.startedModes.empty());
  EXPECT_EQ(editor->displayState(), kDisplaySplash);
  expectViewControlsShown(false, true);

  // The display shows bitmap 102 as it is.
  HBITMAP splash = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(102));
  ASSERT_NE(splash, nullptr);
  BITMAP b{};
  GetObjectA(splash, sizeof b, &b);
  EXPECT_EQ(b.bmWidth, 670);
  EXPECT_EQ(b.bmHeight, 260);
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(memory, splash);
  {
    const WindowCapture shownPicture(control(editor::kDisplay));
    int differing = 0;
    for (int y = 0; y < 260; y += 13)
      for (int x = 0; x < 670; x += 11) {
        const COLORREF c = GetPixel(memory, x, y);
        differing += !(shownPicture.at(x, y) == Pixel{GetRValue(c), GetGValue(c), GetBValue(c)});
      }
    EXPECT_EQ(differing, 0);
  }
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(splash);
  host.repaint();
  EXPECT_TRUE(WindowCapture(host.frame).saveBmp("editor-splash.bmp"));

  click(300, 100);
  EXPECT_EQ(host.startedModes, std::vector<int>{kModeRead});
  EXPECT_EQ(host.runResults, std::vector<bool>{true});
  EXPECT_EQ(host.queries, 1);
  EXPECT_EQ(editor->displayState(), kDisplaySpectrogram);
  EXPECT_EQ(editor->activeTool(), kToolZoom);
  EXPECT_EQ(plugin->getParameter(0), 2.0f) << "the mode goes back to the correction";
  expectViewControlsShown(true, false);
  EXPECT_FALSE(shown(control(editor::kZoomHint)));
  EXPECT_EQ(textOf(control(editor::kEndTime)), formatTime(kFrames, kRate));
  EXPECT_EQ(textOf(control(editor::kStartTime)), "0:00.000");

  // Each drawn column is the analyser's levels through the colour scale;
  // the flat curve crosses in black, the cleared layers leave a black frame.
  host.repaint();
  const WindowCapture whole(host.frame);
  EXPECT_TRUE(whole.saveBmp("editor-after-read.bmp"));
  const SpectrogramAnalyser& analyser = plugin->analyser();
  const int curveRow = plugin->curve().rowOf(0);
  const WindowCapture picture(control(editor::kDisplay));
  ASSERT_EQ(picture.width(), 670);
  ASSERT_EQ(picture.height(), 260);
  int compared = 0;
  for (int column : {0, 5, 150, 333, 520, 667}) {
    for (int row = 1; row <= 258; ++row) {
      if (row >= curveRow - 1 && row <= curveRow + 1) continue;
      const Rgb expected = ColourTable::levelColour(ColourTable::indexOf(analyser.levelAt(column, row)));
      ASSERT_EQ(picture.at(column + 1, row), (Pixel{expected.red, expected.green, expected.blue}))
          << "column " << column << " row " << row;
      ++compared;
    }
  }
  EXPECT_GT(compared, 1500);
  for (int x = 2; x < 668; x += 3) ASSERT_EQ(picture.at(x, curveRow), (Pixel{0, 0, 0})) << "x " << x;
  for (int y = 0; y < 260; y += 10) {
    EXPECT_EQ(picture.at(0, y), (Pixel{0, 0, 0}));
    EXPECT_EQ(picture.at(669, y), (Pixel{0, 0, 0}));
  }
  for (int x = 0; x < 670; x += 10) {
    EXPECT_EQ(picture.at(x, 0), (Pixel{0, 0, 0}));
    EXPECT_EQ(picture.at(x, 259), (Pixel{0, 0, 0}));
  }
  // The tone is loud where it is: red near its row.
  const int toneRow = analyser.rowForFrequency(1.0f, static_cast<float>(kToneHz));
  EXPECT_GE(analyser.levelAt(300, toneRow), 75.0f);
  EXPECT_EQ(picture.at(301, toneRow).red, 255);

}

// The host's selection shows as a grey band ANDed over the display, and
// its edit cursor as a line; a selection reaching outside the view is not
// drawn at all.
TEST_F(EditorWindow, HostSelectionAndCursorAreDrawnFromTheNotification) {
  openAndRead();
  host.file.selectionStart = 22050;
  host.file.selectionSize = 22050;
  EXPECT_TRUE(host.notify());
  // Positions times the single-precision scale, in double, as drawn.
  const double scale = static_cast<float>(670.0 / kFrames);
  const int left = static_cast<int>(22050 * scale + 1);
  const int right = static_cast<int>(44100 * scale + 1);
  {
    const WindowCapture band(control(editor::kDisplay));
    const int inside = (left + right) / 2;
    const int row = 60;
    // Inside the band every channel went through an AND with 160.
    const Pixel p = band.at(inside, row);
    EXPECT_EQ(p.red & ~160, 0);
    EXPECT_EQ(p.green & ~160, 0);
    EXPECT_EQ(p.blue & ~160, 0);
    const Pixel edge = band.at(left, row);
    EXPECT_EQ(edge.red & ~128, 0);
    EXPECT_EQ(edge.blue & ~128, 0);
    EXPECT_NE(band.at(right + 5, row), p) << "no band after the end";
  }

  host.file.selectionStart = 80000;
  host.file.selectionSize = 20000;  // ends after the file
  host.file.editCursorPosition = 44100;
  EXPECT_TRUE(host.notify());
  const WindowCapture picture(control(editor::kDisplay));
  const int cursor = static_cast<int>(44100 * scale + 1);
  for (int y = 1; y < 259; y += 17) EXPECT_EQ(picture.at(cursor, y), (Pixel{0, 0, 0})) << y;
  EXPECT_NE(picture.at((left + right) / 2, 60), (Pixel{0, 0, 0}));
  const Pixel outside = picture.at(660, 60);
  EXPECT_FALSE((outside.red | outside.green | outside.blue) <= 160 && outside.blue != 0 && outside.red == 0)
      << "the selection beyond the view is not drawn";
}

// A recording with wow: the tone's row follows its speed across the
// display, and twice as far after a frequency "+".
TEST_F(EditorWindow, RecordingWithWowShowsAWaveringLine) {
  host.makeTone(kRate, 4 * 44100, 1, 10000.0, 7, 0.05, 0.75);
  openAndRead();
  const SpectrogramAnalyser& analyser = plugin->analyser();
  auto rowSpread = [&] {
    int lowest = 1 << 30, highest = -1;
    for (int column = 20; column < 640; column += 4) {
      int loudest = 1;
      for (int row = 1; row < 259; ++row)
        if (analyser.levelAt(column, row) > analyser.levelAt(column, loudest)) loudest = row;
      lowest = std::min(lowest, loudest);
      highest = std::max(highest, loudest);
    }
    return highest - lowest;
  };
  const int spread = rowSpread();
  // 5 % of 10 kHz either way is 1000 Hz, about 12 rows of 85 Hz.
  EXPECT_GE(spread, 9);
  EXPECT_LE(spread, 15);
  host.repaint();
  EXPECT_TRUE(WindowCapture(host.frame).saveBmp("editor-wow.bmp"));

  press(editor::kFrequencyIn);
  EXPECT_GE(rowSpread(), spread * 17 / 10);
  host.repaint();
  EXPECT_TRUE(WindowCapture(host.frame).saveBmp("editor-wow-zoomed.bmp"));
}

TEST_F(EditorWindow, NoFilesBlanksTheDisplayAndHidesTheViewControls) {
  openAndRead();
  host.fileCount = 0;
  EXPECT_FALSE(host.notify());
  EXPECT_EQ(editor->displayState(), kDisplayEmpty);
  EXPECT_EQ(editor->activeTool(), kToolNone);
  EXPECT_EQ(plugin->fileTable().fileIdCapacity(), 0);
  expectViewControlsShown(false, true);
  {
    const WindowCapture blank(control(editor::kDisplay));
    for (int y = 1; y < 259; y += 7)
      for (int x = 1; x < 669; x += 9) ASSERT_EQ(blank.at(x, y), (Pixel{255, 255, 255})) << x << "," << y;
  }

  // The white went into the splash picture itself: the next file shows a
  // blank picture until its reading pass paints it.
  host.fileCount = 1;
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(editor->displayState(), kDisplaySplash);
  expectViewControlsShown(false, true);
  {
    const WindowCapture blank(control(editor::kDisplay));
    EXPECT_EQ(blank.at(300, 100), (Pixel{255, 255, 255}));
  }
  click(300, 100);
  EXPECT_EQ(host.startsInMode(kModeRead), 2);
  expectViewControlsShown(true, false);
}

TEST_F(EditorWindow, TimeScrollArrowsMoveByOneAndByAHundred) {
  openAndRead();
  press(editor::kTimeIn);  // time "+": half the window, read again around the centre
  EXPECT_EQ(host.startsInMode(kModeZoom), 1);
  const int half = kFrames / 4;
  SCROLLINFO bar = scrollOf(control(editor::kTimeBar));
  EXPECT_EQ(bar.nMin, half);
  EXPECT_EQ(bar.nMax, kFrames);
  EXPECT_EQ(bar.nPos, kFrames / 2);
  EXPECT_EQ(bar.nPage, static_cast<UINT>(half));
  EXPECT_EQ(editor->view().viewStart, kFrames / 2 - half);
  EXPECT_EQ(editor->view().viewLength, 2 * half);

  scrollTime(SB_LINERIGHT);
  EXPECT_EQ(scrollOf(control(editor::kTimeBar)).nPos, kFrames / 2 + 100);
  scrollTime(SB_LINELEFT);
  EXPECT_EQ(scrollOf(control(editor::kTimeBar)).nPos, kFrames / 2 + 99);
  scrollTime(SB_LINELEFT);
  EXPECT_EQ(scrollOf(control(editor::kTimeBar)).nPos, kFrames / 2 + 98);
  // Moving the bar only moves the read-outs; no pass runs until the end.
  const int start = kFrames / 2 + 98 - half;
  EXPECT_EQ(textOf(control(editor::kStartTime)), formatTime(start, kRate));
  EXPECT_EQ(host.startsInMode(kModeZoom), 1);

  scrollTime(SB_ENDSCROLL);
  EXPECT_EQ(host.startsInMode(kModeZoom), 2);
  EXPECT_EQ(editor->view().viewStart, start);
  EXPECT_EQ(editor->view().viewLength, 2 * half);
  EXPECT_EQ(host.cursorWritten, start);
  EXPECT_FALSE(editor->files().needsRedraw());
}

TEST_F(EditorWindow, ChangedSampleRateOnTheSameFileStartsOneRedrawPass) {
  openAndRead();
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(host.startedModes.size(), 1u) << "the same file as it was starts nothing";

  host.file.sampleRate = 22050.0;
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(host.startedModes, (std::vector<int>{kModeRead, kModeZoom}));
  EXPECT_EQ(plugin->analyser().sampleRate(), 22050.0f);
  EXPECT_EQ(plugin->getParameter(0), 2.0f);
  EXPECT_FALSE(editor->files().needsRedraw());

  EXPECT_TRUE(host.notify());
  EXPECT_EQ(host.startedModes.size(), 2u);

  // A fractional rate is taken as the passes take it, truncated: one pass.
  host.file.sampleRate = 32000.5;
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(host.startsInMode(kModeZoom), 2);
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(host.startsInMode(kModeZoom), 2);

  // So does a changed channel count.
  host.makeTone(32000.5, kFrames, 2, kToneHz, 7);
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(host.startsInMode(kModeZoom), 3);
  EXPECT_EQ(plugin->channelCount, 2);
}

// A host that refuses the redraw pass but answers the query at once: the
// rate still differs inside that answer, and redrawing there again would
// never end.
TEST_F(EditorWindow, NotificationInsideTheRedrawRequestLeavesTheRedrawForTheNext) {
  openAndRead();
  host.refusesStarts = true;
  host.file.sampleRate = 22050.0;
  const int queries = host.queries;
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(host.startedModes, (std::vector<int>{kModeRead, kModeZoom}));
  EXPECT_EQ(host.queries, queries + 1);
  EXPECT_EQ(plugin->getParameter(0), 2.0f);
  EXPECT_TRUE(editor->files().needsRedraw()) << "the answer inside the request still saw the old rate";

  // Each later notification tries once more.
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(host.startsInMode(kModeZoom), 2);

  // A host that runs it again: one pass, and the rate is taken up.
  host.refusesStarts = false;
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(host.startsInMode(kModeZoom), 3);
  EXPECT_EQ(plugin->analyser().sampleRate(), 22050.0f);
  EXPECT_FALSE(editor->files().needsRedraw());
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(host.startsInMode(kModeZoom), 3);
}

TEST_F(EditorWindow, KeyPressesOpenTheInfoBoxes) {
  openAndRead();
  BoxAnswerer answerer;
  SendMessageA(mainWindow(), WM_KEYDOWN, 'B', 0);
  ASSERT_EQ(BoxAnswerer::boxes.size(), 1u);
  EXPECT_EQ(BoxAnswerer::boxes[0], (std::pair<std::string, std::string>{"Info", "Wcisniety klawisz"}));

  BoxAnswerer::boxes.clear();
  SendMessageA(mainWindow(), WM_KEYDOWN, 'A', 0);
  ASSERT_EQ(BoxAnswerer::boxes.size(), 3u);
  EXPECT_EQ(BoxAnswerer::boxes[0].second, "Wcisniety klawisz");
  EXPECT_EQ(BoxAnswerer::boxes[1].second, "Wcisniety z");
  EXPECT_EQ(BoxAnswerer::boxes[2].second, "Podejmuje akcje");
  for (const auto& box : BoxAnswerer::boxes) EXPECT_EQ(box.first, "Info");
  EXPECT_EQ(editor->algorithm(), OfflineEditor::kZoomAlgorithm);

  BoxAnswerer::boxes.clear();
  SendMessageA(control(editor::kDisplay), WM_KEYDOWN, 'C', 0);
  ASSERT_EQ(BoxAnswerer::boxes.size(), 1u);
  EXPECT_EQ(BoxAnswerer::boxes[0].second, "Wcisniety klawisz");
}

// Commands and mouse moves hide the never-filled position read-out.
TEST_F(EditorWindow, PositionReadoutStaysHidden) {
  openAndRead();
  ShowWindow(control(editor::kPositionReadout), SW_SHOW);
  press(editor::kZoomFrequency);
  EXPECT_FALSE(shown(control(editor::kPositionReadout)));
  ShowWindow(control(editor::kPositionReadout), SW_SHOW);
  SendMessageA(mainWindow(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 400));
  EXPECT_FALSE(shown(control(editor::kPositionReadout)));
}

// Undo steps are kept per host file id, whatever the id.
TEST_F(EditorWindow, UndoHistoriesFollowTheFileForAnyId) {
  host.file.uniqueId = 4000;
  VstAudioFile other = host.file;
  other.uniqueId = -7;
  host.others = {other};
  openAndRead();
  EXPECT_FALSE(IsWindowEnabled(control(editor::kUndo)));
  // As a detection pass does: the step's snapshot, then the step.
  ASSERT_TRUE(plugin->curve().pushSnapshot());
  static_cast<EditorLink*>(editor)->recordUndoStep(3);
  EXPECT_TRUE(IsWindowEnabled(control(editor::kUndo)));
  EXPECT_EQ(editor->curves().historyOf(4000).currentStep(), 1);
  EXPECT_EQ(editor->curves().historyOf(4000).tagOf(0), 3);

  std::swap(host.file, host.others[0]);
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(host.startsInMode(kModeRead), 2);
  EXPECT_FALSE(IsWindowEnabled(control(editor::kUndo))) << "the other file has no steps";

  std::swap(host.file, host.others[0]);
  EXPECT_TRUE(host.notify());
  EXPECT_TRUE(IsWindowEnabled(control(editor::kUndo)));
  const std::string path = editor->curves().curveFilePath();
  EXPECT_NE(path.find("4000~undopvc_1.dwt"), std::string::npos) << path;
}

// A host that told the plug-in its files before opening the editor: the
// headless reading pass ran, and the window still draws the file after the
// click on the splash picture.
TEST_F(EditorWindow, FileTakenUpBeforeTheWindowOpenedIsDrawnAfterTheClick) {
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(host.startedModes, std::vector<int>{kModeRead});
  ASSERT_TRUE(host.openEditor());
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(editor->displayState(), kDisplaySplash);
  click(300, 100);
  EXPECT_EQ(host.startedModes, (std::vector<int>{kModeRead, kModeRead}));
  const SpectrogramAnalyser& analyser = plugin->analyser();
  const int toneRow = analyser.rowForFrequency(1.0f, static_cast<float>(kToneHz));
  EXPECT_EQ(WindowCapture(control(editor::kDisplay)).at(301, toneRow).red, 255);
  EXPECT_TRUE(host.notify());
  EXPECT_EQ(host.startedModes.size(), 2u) << "read once";
}

// A host may number its first file 0, the plug-in's "no file" id.
TEST_F(EditorWindow, AFileWithIdZeroIsReadToo) {
  host.file.uniqueId = 0;
  openAndRead();
  EXPECT_EQ(host.startedModes, std::vector<int>{kModeRead});
}

TEST_F(EditorWindow, PassMessagesGoToTheMessageArea) {
  openAndRead();
  EditorLink& link = *editor;
  link.showMessage("Nothing to follow.");
  EXPECT_EQ(textOf(control(editor::kMessageArea)), "Nothing to follow.");
  EXPECT_TRUE(shown(control(editor::kMessageArea)));
}

TEST_F(EditorWindow, ProgressBarFollowsTheFractionAndHidesWhenNegative) {
  openAndRead();
  HWND bar = control(editor::kProgressBar);
  ShowWindow(bar, SW_SHOW);  // as "Create PVC" shows it
  EditorLink& link = *editor;
  link.setProgress(0.37);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 37);
  EXPECT_TRUE(shown(bar));
  link.setProgress(-1.0);
  EXPECT_FALSE(shown(bar));
}

// The pilot-tone pane shows the tracker's parameters: names with labels,
// values, bars at maximum - value x maximum; the view bars but the
// reference one are disabled.
TEST_F(EditorWindow, PilotTonePaneShowsTheTrackersParameters) {
  openAndRead();
  ASSERT_TRUE(plugin->engines().prepare(4, 44100.0f));
  detect::PilotToneTracker& tracker = *plugin->engines().trackerEngine();
  editor->panes().showPane(4, true);
  for (int id : editor::kPilotPaneShown) EXPECT_TRUE(shown(control(id))) << id;
  EXPECT_TRUE(shown(control(editor::kCreatePvc)));
  EXPECT_TRUE(IsWindowEnabled(control(editor::kCreatePvc)));
  EXPECT_TRUE(IsWindowEnabled(control(editor::kReferenceBar)));
  for (int id = editor::kFrequencyBar; id <= editor::kTimeIn; ++id) EXPECT_FALSE(IsWindowEnabled(control(id))) << id;
  EXPECT_EQ(textOf(control(editor::kPilotPaneIds.names[0])), "FFT Length\n[smpl]");
  EXPECT_EQ(textOf(control(editor::kPilotPaneIds.names[5])), "Bottom margin\n[%]");
  char value[32];
  std::snprintf(value, sizeof value, "%.1f", static_cast<double>(tracker.getParamValueDisp(1)));
  EXPECT_EQ(textOf(control(editor::kPilotPaneIds.readouts[1])), value);
  EXPECT_EQ(scrollOf(control(editor::kPilotPaneIds.bars[1])).nPos, static_cast<int>(100.0f - tracker.getParamValue(1) * 100.0f));

  editor->panes().showPane(4, false);
  for (int id : editor::kPilotPaneShown) EXPECT_FALSE(shown(control(id))) << id;
  EXPECT_FALSE(shown(control(editor::kCreatePvc)));
  editor->panes().showPane(8, true);
  for (int id = editor::kReferenceBar; id <= editor::kTimeIn; ++id) EXPECT_TRUE(IsWindowEnabled(control(id))) << id;
}

// The hum pane's toggle swaps basic and advanced parameters and moves the
// name boxes, and back again.
TEST_F(EditorWindow, HumPaneTogglesBetweenBasicAndAdvanced) {
  openAndRead();
  ASSERT_TRUE(plugin->engines().prepare(3, 44100.0f));
  detect::DetectorEngines& engines = plugin->engines();
  editor->panes().showPane(3, true);
  for (int id : editor::kHumPaneShown) EXPECT_TRUE(shown(control(id))) << id;
  for (int id : {editor::kCreatePvc, editor::kShowHum, editor::kAdvanced}) EXPECT_TRUE(shown(control(id))) << id;
  for (int id = editor::kReferenceBar; id <= editor::kTimeIn; ++id) EXPECT_FALSE(IsWindowEnabled(control(id))) << id;
  EXPECT_EQ(textOf(control(editor::kAdvanced)), "Advanced >");

  auto nameText = [&](int parameter, const char* label) {
    char name[100] = {};
    char own[20] = {};
    std::memset(name, 1, 98);
    std::memset(own, 1, 18);
    engines.engineName(parameter, name);
    engines.engineLabel(parameter, own);
    return std::string(name) + "\n[" + (label ? label : own) + "]";
  };
  auto place = [&](int id) { return placeIn(control(id), mainWindow()); };
  EXPECT_EQ(textOf(control(editor::kHumPaneIds.names[0])), nameText(1, nullptr));
  EXPECT_EQ(textOf(control(editor::kHumPaneIds.names[4])), nameText(10, nullptr));
  const RECT basic41 = place(editor::kHumPaneIds.names[0]), basic42 = place(editor::kHumPaneIds.names[1]), basic44 = place(editor::kHumPaneIds.names[3]);

  press(editor::kAdvanced);
  EXPECT_EQ(textOf(control(editor::kAdvanced)), "< Basic");
  EXPECT_EQ(textOf(control(editor::kHumPaneIds.names[0])), nameText(5, "smpl"));
  EXPECT_EQ(textOf(control(editor::kHumPaneIds.names[2])), nameText(7, "order"));
  EXPECT_EQ(textOf(control(editor::kHumPaneIds.names[3])), nameText(9, nullptr));
  char value[32];
  std::snprintf(value, sizeof value, "%.0f", static_cast<double>(engines.engineDisplayValue(6)));
  EXPECT_EQ(textOf(control(editor::kHumPaneIds.readouts[1])), value);
  EXPECT_EQ(place(editor::kHumPaneIds.names[0]).left, basic41.left + 10);
  EXPECT_EQ(place(editor::kHumPaneIds.names[0]).right - place(editor::kHumPaneIds.names[0]).left, 50);
  EXPECT_EQ(place(editor::kHumPaneIds.names[1]).left, basic42.left + 20);
  EXPECT_EQ(place(editor::kHumPaneIds.names[1]).right - place(editor::kHumPaneIds.names[1]).left, 50);
  EXPECT_EQ(place(editor::kHumPaneIds.names[3]).left, basic44.left - 10);
  EXPECT_EQ(place(editor::kHumPaneIds.names[3]).right - place(editor::kHumPaneIds.names[3]).left, 90);

  press(editor::kAdvanced);
  EXPECT_EQ(textOf(control(editor::kAdvanced)), "Advanced >");
  EXPECT_EQ(textOf(control(editor::kHumPaneIds.names[0])), nameText(1, nullptr));
  EXPECT_EQ(place(editor::kHumPaneIds.names[0]).left, basic41.left);
  EXPECT_EQ(place(editor::kHumPaneIds.names[1]).right - place(editor::kHumPaneIds.names[1]).left, 90);
  EXPECT_EQ(place(editor::kHumPaneIds.names[3]).right - place(editor::kHumPaneIds.names[3]).left, 70);

  // Shown again after the advanced form: basic, at the basic places.
  press(editor::kAdvanced);
  editor->panes().showPane(3, false);
  for (int id : {editor::kCreatePvc, editor::kShowHum, editor::kAdvanced}) EXPECT_FALSE(shown(control(id))) << id;
  editor->panes().showPane(3, true);
  EXPECT_EQ(textOf(control(editor::kAdvanced)), "Advanced >");
  EXPECT_EQ(place(editor::kHumPaneIds.names[0]).left, basic41.left);
}

// Frequency "+" and "-" redraw from the stored levels without reading the
// file again; the read-outs and the bar follow.
TEST_F(EditorWindow, FrequencyZoomButtonsRedrawWithoutAPass) {
  openAndRead();
  const SpectrogramAnalyser& analyser = plugin->analyser();
  const float fullTop = analyser.topFrequency();
  EXPECT_EQ(textOf(control(editor::kUpperFrequency)), std::to_string(static_cast<int>(fullTop)));
  press(editor::kFrequencyIn);
  EXPECT_LT(analyser.topFrequency() - analyser.bottomFrequency(), 0.6f * fullTop);
  EXPECT_EQ(textOf(control(editor::kUpperFrequency)), std::to_string(static_cast<int>(analyser.topFrequency())));
  EXPECT_EQ(textOf(control(editor::kLowerFrequency)), std::to_string(static_cast<int>(analyser.bottomFrequency())));
  EXPECT_TRUE(IsWindowEnabled(control(editor::kFrequencyOut)));
  EXPECT_EQ(host.startedModes.size(), 1u);
  const SCROLLINFO bar = scrollOf(control(editor::kFrequencyBar));
  EXPECT_EQ(bar.nMax, static_cast<int>(analyser.maxFrequency()));

  press(editor::kFrequencyOut);
  press(editor::kFrequencyOut);
  EXPECT_FLOAT_EQ(analyser.topFrequency() - analyser.bottomFrequency(), fullTop);
  EXPECT_FALSE(IsWindowEnabled(control(editor::kFrequencyOut))) << "the whole band is shown";
  EXPECT_EQ(host.startedModes.size(), 1u);
}

// The frequency bar moves the zoomed band when released, the reference bar
// moves the curve; neither reads the file again.
TEST_F(EditorWindow, FrequencyAndReferenceBarsMoveTheViewWithoutAPass) {
  openAndRead();
  const SpectrogramAnalyser& analyser = plugin->analyser();
  press(editor::kFrequencyIn);
  HWND bar = control(editor::kFrequencyBar);
  auto scrollFrequency = [&](WORD request, HWND which) {
    SendMessageA(mainWindow(), WM_VSCROLL, MAKEWPARAM(request, 0), reinterpret_cast<LPARAM>(which));
  };
  const SCROLLINFO before = scrollOf(bar);
  const float top = analyser.topFrequency();
  scrollFrequency(SB_LINEDOWN, bar);
  EXPECT_EQ(scrollOf(bar).nPos, before.nPos + static_cast<int>(before.nPage) / 2);
  scrollFrequency(SB_ENDSCROLL, bar);
  // Down the bar is down the band, by half the page in Hz.
  EXPECT_NEAR(analyser.topFrequency(), top - static_cast<float>(before.nPage / 2), 2.0f * 44100.0f / 1024.0f);
  EXPECT_EQ(textOf(control(editor::kUpperFrequency)), std::to_string(static_cast<int>(analyser.topFrequency())));
  EXPECT_EQ(host.startedModes.size(), 1u);

  HWND reference = control(editor::kReferenceBar);
  const int curveRow = plugin->curve().rowOf(0);
  scrollFrequency(SB_PAGEDOWN, reference);
  const SCROLLINFO r = scrollOf(reference);
  EXPECT_FLOAT_EQ(analyser.refFrequency(), static_cast<float>(r.nMax + r.nMin - r.nPos));
  EXPECT_GT(plugin->curve().rowOf(0), curveRow) << "a lower reference draws the curve lower";
  EXPECT_EQ(host.startedModes.size(), 1u);
}

// Time "+" then "Zoom All": the redraw pass reads the whole file again.
TEST_F(EditorWindow, ZoomAllGoesBackToTheWholeFile) {
  openAndRead();
  press(editor::kTimeIn);
  press(editor::kTimeIn);
  EXPECT_EQ(editor->view().viewLength, kFrames / 4);
  press(editor::kZoomAll);
  EXPECT_EQ(host.startsInMode(kModeZoom), 3);
  EXPECT_EQ(editor->view().viewStart, 0);
  EXPECT_EQ(editor->view().viewLength, kFrames);
  EXPECT_EQ(textOf(control(editor::kEndTime)), formatTime(kFrames, kRate));
}

}  // namespace
