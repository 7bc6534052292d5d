// pelmora-host's window with a plug-in whose editor is a real window, driven
// with the messages a person's clicks produce.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "host/audio/WavFile.h"
#include "host/commands/Correction.h"
#include "host/commands/InteractiveSession.h"
#include "host/commands/PictureCommand.h"
#include "host/commands/WindowCommands.h"
#include "host/window/BmpImage.h"
#include "tests/host/TempPath.h"
#include "tests/host/WindowedPlugin.h"

namespace {

std::unique_ptr<WindowedPlugin> plugin;
bool pluginHasEditor = true;

AEffect* VSTCALLBACK windowedEntry(audioMasterCallback callback) {
  plugin = std::make_unique<WindowedPlugin>(callback);
  plugin->hasEditor = pluginHasEditor;
  return &plugin->effect;
}

void click(HWND target, int x = 5, int y = 5) {
  PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageA(target, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

std::string windowText(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class HostWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pluginHasEditor = true;
    folder = tempPath("window") + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    input = folder + "take.wav";
    audio = host::AudioData::silence(1, 5000, 8000.0);
    for (std::size_t i = 0; i < 5000; ++i) audio.channels[0][i] = static_cast<float>(i % 100) / 200.0f;
    ASSERT_TRUE(host::writeWav(input, audio, host::SampleFormat::Float32).ok());
  }

  void TearDown() override {
    session.reset();
    plugin.reset();
    for (const char* name : {"take.wav", "take (Copy).wav", "take (Copy) 2.wav", "out.wav", "picture.bmp"})
      DeleteFileA((folder + name).c_str());
    RemoveDirectoryA(folder.c_str());
  }

  void start(const std::string& output = {}) {
    host::SessionSettings settings;
    settings.linkedEntry = &windowedEntry;
    settings.blockSize = 512;
    settings.output = output;
    settings.messageBoxes = false;
    std::string problem;
    session = host::InteractiveSession::create(settings, problem);
    ASSERT_TRUE(session) << problem;
    ASSERT_TRUE(session->openFile(input, problem)) << problem;
    ASSERT_TRUE(session->openWindow(problem)) << problem;
  }

  // Tells the file, clicks the display and lets the reading pass run.
  void readFile() {
    session->tellFiles();
    click(plugin->display);
    ASSERT_TRUE(session->pumpUntil([] { return plugin->fileRead; }, 10000));
    ASSERT_TRUE(session->pumpUntil([&] { return !session->requests().pending(); }, 10000));
  }

  HWND hostControl(int id) { return GetDlgItem(session->window()->window(), id); }

  std::string folder;
  std::string input;
  host::AudioData audio;
  std::unique_ptr<host::InteractiveSession> session;
};

TEST_F(HostWindowTest, HoldsTheEditorInAWindowTitledWithTheFileAndKeepsItIdling) {
  start();
  HWND window = session->window()->window();
  EXPECT_EQ(windowText(window), "take.wav - pelmora-host");
  EXPECT_TRUE(IsWindowVisible(window));
  ASSERT_TRUE(session->editorOpen());
  EXPECT_EQ(GetParent(plugin->editor), session->window()->editorFrame());
  RECT frame;
  GetClientRect(session->window()->editorFrame(), &frame);
  EXPECT_EQ(frame.right, 240);
  EXPECT_EQ(frame.bottom, 120);
  EXPECT_EQ(windowText(hostControl(host::HostWindow::kProcessId)), "Process");
  EXPECT_EQ(windowText(hostControl(host::HostWindow::kCloseId)), "Close");
  EXPECT_TRUE(session->pumpUntil([] { return plugin->idles >= 3; }, 5000));
}

TEST_F(HostWindowTest, AnswersTheEditorsQueryAndRunsItsProcessFromTheLoopOnly) {
  start();
  readFile();
  EXPECT_EQ(plugin->processesInsideOwnCall, 0);
  // The editor set its mark after asking; the answer saw it.
  EXPECT_TRUE(plugin->markSeenByNotification);
  EXPECT_EQ(plugin->mode, 2.0f);
  const host::HostFile& file = session->host().file(0);
  EXPECT_EQ(file.selectionStart, 30.0);
  EXPECT_EQ(file.selectionSize, 20.0);
  EXPECT_NE(windowText(hostControl(host::HostWindow::kStatusId)).find("Selection 0:00.003 to 0:00.006"),
            std::string::npos)
      << windowText(hostControl(host::HostWindow::kStatusId));
}

TEST_F(HostWindowTest, ProcessSavesTheNewFileBesideTheInputUnderAFreeName) {
  start();
  // Before the editor has read the file the plug-in declines.
  click(hostControl(host::HostWindow::kProcessId));
  ASSERT_TRUE(session->pumpUntil([&] { return !session->status().empty(); }, 5000));
  EXPECT_EQ(session->status(), "The plug-in did not start its process.");

  readFile();
  { std::ofstream(folder + "take (Copy).wav") << "keep me"; }
  click(hostControl(host::HostWindow::kProcessId));
  ASSERT_TRUE(session->pumpUntil([&] { return !session->savedFiles().empty(); }, 10000)) << session->status();
  EXPECT_EQ(session->savedFiles()[0], folder + "take (Copy) 2.wav");
  EXPECT_EQ(plugin->processesInsideOwnCall, 0);
  std::ifstream kept(folder + "take (Copy).wav");
  std::string content;
  std::getline(kept, content);
  EXPECT_EQ(content, "keep me");
  const host::WavReadResult saved = host::readWav(folder + "take (Copy) 2.wav");
  ASSERT_TRUE(saved.ok()) << saved.message;
  EXPECT_EQ(saved.audio.channels, audio.channels);
  // The plug-in goes on seeing one file.
  EXPECT_EQ(session->host().fileCount(), 1u);
  EXPECT_NE(session->status().find("Saved"), std::string::npos);
}

TEST_F(HostWindowTest, ProcessSavesToTheNameGiven) {
  start(folder + "out.wav");
  readFile();
  click(hostControl(host::HostWindow::kProcessId));
  ASSERT_TRUE(session->pumpUntil([&] { return !session->savedFiles().empty(); }, 10000)) << session->status();
  EXPECT_EQ(session->savedFiles()[0], folder + "out.wav");
  EXPECT_TRUE(fileExists(folder + "out.wav"));
  EXPECT_FALSE(fileExists(folder + "take (Copy).wav"));
}

TEST_F(HostWindowTest, CloseClosesTheEditorBeforeItsWindowGoes) {
  start();
  click(hostControl(host::HostWindow::kCloseId));
  EXPECT_TRUE(session->pumpUntil([&] { return !session->windowOpen(); }, 5000));
  EXPECT_TRUE(plugin->editorClosed);
  EXPECT_TRUE(plugin->closedBeforeWindowWent);
  EXPECT_FALSE(IsWindow(plugin->editor));
}

TEST_F(HostWindowTest, ShowSavesTheEditorWindowBeforeAndAfterTheClick) {
  const std::string picture = folder + "picture.bmp";
  const int x = 10 + 100;  // the middle of the display, in the editor window
  const int y = 10 + 40;
  for (bool clickSplash : {false, true}) {
    start();
    host::PictureRequest request;
    request.picture = picture;
    request.clickSplash = clickSplash;
    request.timeoutMs = 10000;
    host::PictureReport report;
    std::ostringstream out, err;
    ASSERT_EQ(host::takePicture(*session, request, report, out, err), host::kExitOk) << err.str();
    host::RgbImage image;
    std::string problem;
    ASSERT_TRUE(host::readBmp(picture, image, problem)) << problem;
    EXPECT_EQ(image.width, 240);
    EXPECT_EQ(image.height, 120);
    const COLORREF expected = clickSplash ? WindowedPlugin::kAfter : WindowedPlugin::kBefore;
    EXPECT_EQ(RGB(image.at(x, y)[0], image.at(x, y)[1], image.at(x, y)[2]), expected) << "clicked " << clickSplash;
    EXPECT_EQ(clickSplash, report.readingSeconds >= 0.0);
    session.reset();
  }
}

TEST_F(HostWindowTest, ShowRefusesAPlugInWithoutAnEditorWindow) {
  pluginHasEditor = false;
  start();
  EXPECT_FALSE(session->editorOpen());
  EXPECT_TRUE(session->windowOpen());
  host::PictureRequest request;
  request.picture = folder + "picture.bmp";
  host::PictureReport report;
  std::ostringstream out, err;
  EXPECT_EQ(host::takePicture(*session, request, report, out, err), host::kExitRefused);
  EXPECT_NE(err.str().find("no editor window"), std::string::npos) << err.str();
  EXPECT_FALSE(fileExists(request.picture));
}

TEST_F(HostWindowTest, ShowSaysWhenTheEditorHasNoTimeZoomButton) {
  start();
  host::PictureRequest request;
  request.picture = folder + "picture.bmp";
  request.zoomInClicks = 1;
  host::PictureReport report;
  std::ostringstream out, err;
  EXPECT_EQ(host::takePicture(*session, request, report, out, err), host::kExitRefused);
  EXPECT_NE(err.str().find("no time zoom-in button"), std::string::npos) << err.str();
}

TEST_F(HostWindowTest, ShowSaysWhenTheEditorDoesNotZoomToTheRange) {
  start();
  host::PictureRequest request;
  request.picture = folder + "picture.bmp";
  request.hasRange = true;
  request.rangeStart = 0.1;
  request.rangeEnd = 0.3;
  request.zoomAnswerMs = 2000;
  host::PictureReport report;
  std::ostringstream out, err;
  // This editor has no zoom tool: the drag starts nothing.
  EXPECT_EQ(host::takePicture(*session, request, report, out, err), host::kExitRefused);
  EXPECT_NE(err.str().find("did not zoom"), std::string::npos) << err.str();
}

// Message boxes of the test's thread, answered as they appear.
class BoxAnswerer {
 public:
  BoxAnswerer() { hook_ = SetWindowsHookExA(WH_CBT, &answer, nullptr, GetCurrentThreadId()); }
  ~BoxAnswerer() { UnhookWindowsHookEx(hook_); }
  static std::vector<std::string>& texts() {
    static std::vector<std::string> seen;
    return seen;
  }

 private:
  static BOOL CALLBACK keepText(HWND child, LPARAM) {
    char text[512] = {};
    GetWindowTextA(child, text, sizeof text);
    if (std::string(text).find("take") != std::string::npos) texts().push_back(text);
    return TRUE;
  }
  static LRESULT CALLBACK answer(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
      HWND box = reinterpret_cast<HWND>(wParam);
      char name[32] = {};
      GetClassNameA(box, name, sizeof name);
      if (std::string(name) == "#32770") {
        EnumChildWindows(box, &keepText, 0);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  HHOOK hook_;
};

TEST_F(HostWindowTest, OpenTellsAboutAFileItCannotReadInABox) {
  { std::ofstream(input, std::ios::trunc) << "RIFF but no wave"; }
  host::PluginSource source;
  source.linkedEntry = &windowedEntry;
  BoxAnswerer answerer;
  BoxAnswerer::texts().clear();
  std::ostringstream out, err;
  EXPECT_EQ(host::runWindowCommand({"open", input}, source, out, err), host::kExitInput);
  ASSERT_EQ(BoxAnswerer::texts().size(), 1u) << err.str();
  EXPECT_NE(BoxAnswerer::texts()[0].find("Cannot read " + input), std::string::npos) << BoxAnswerer::texts()[0];
  EXPECT_NE(err.str().find(input), std::string::npos);
}

TEST(WindowCommands, RefuseIncompleteOrContradictoryRequests) {
  host::PluginSource source;
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const std::vector<Case> cases = {
      {{"show", "a.wav"}, "--picture"},
      {{"show", "a.wav", "--picture"}, "needs a value"},
      {{"show", "a.wav", "--picture", "p.bmp", "--range", "5:2"}, "--range"},
      {{"show", "a.wav", "--picture", "p.bmp", "--range", "x"}, "--range"},
      {{"show", "a.wav", "--picture", "p.bmp", "--range", "1:2", "--splash"}, "do not go together"},
      {{"show", "a.wav", "--picture", "p.bmp", "--timeout", "0"}, "--timeout"},
      {{"show", "a.wav", "--picture", "p.bmp", "--zoom-in", "1.5"}, "--zoom-in"},
      {{"show", "a.wav", "--picture", "p.bmp", "--zoom-in", "2", "--range", "1:2"}, "do not go together"},
      {{"open"}, "IN.wav"},
      {{"open", "a.wav", "b.wav", "c.wav"}, "at most one"},
      {{"open", "a.wav", "./a.wav"}, "another file"},
      {{"open", "a.wav", "--range", "1:2"}, "unknown option"},
  };
  for (const Case& c : cases) {
    std::ostringstream out, err;
    EXPECT_EQ(host::runWindowCommand(c.args, source, out, err), host::kExitUsage) << c.args.back();
    EXPECT_NE(err.str().find(c.says), std::string::npos) << err.str();
  }
}

}  // namespace
