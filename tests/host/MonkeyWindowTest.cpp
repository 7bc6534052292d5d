// Random clicks, drags and keys over Pelmora's editor in pelmora-host's
// window, boxes and file dialogs answered, then the host's "Process": the
// program must not crash or hang, and the file it writes must be whole.
// PELMORA_MONKEY_ACTIONS and PELMORA_MONKEY_SEED make a longer run, or
// repeat one that failed (the seed is printed).
#include <gtest/gtest.h>

#include <windows.h>

#include <dlgs.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "editor/ControlIds.h"
#include "host/audio/WavFile.h"
#include "host/commands/InteractiveSession.h"
#include "host/window/WindowPicture.h"
#include "tests/host/TempPath.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr unsigned kDefaultActions = 1000;
constexpr unsigned kDefaultSeed = 19;
constexpr unsigned kStallMs = 45000;  // no action finished for so long: a hang

unsigned fromEnvironment(const char* name, unsigned fallback) {
  const char* value = std::getenv(name);
  return value && *value ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : fallback;
}

// Two seconds of a wavering tone: passes over it are quick.
host::AudioData shortRecording() {
  const double rate = 22050.0;
  host::AudioData audio = host::AudioData::silence(1, static_cast<std::size_t>(2 * rate), rate);
  double phase = 0.0;
  for (std::size_t i = 0; i < audio.frames(); ++i) {
    const double t = static_cast<double>(i) / rate;
    phase += 2.0 * kPi * 800.0 * (1.0 + 0.01 * std::sin(2.0 * kPi * 3.0 * t)) / rate;
    audio.channels[0][i] = static_cast<float>(0.5 * std::sin(phase));
  }
  return audio;
}


// What was done lately, for the report of a failure.
class ActionLog {
 public:
  void add(std::string action) {
    std::lock_guard lock(mutex_);
    recent_.push_back(std::move(action));
    if (recent_.size() > 25) recent_.pop_front();
  }
  std::string last() {
    std::lock_guard lock(mutex_);
    return recent_.empty() ? std::string() : recent_.back();
  }
  std::string recent() {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const auto& a : recent_) all += "  " + a + "\n";
    return all;
  }

 private:
  std::mutex mutex_;
  std::deque<std::string> recent_;
};

// From its own thread, answers every box and file dialog the session's
// thread shows (so a modal loop of any kind is met), and ends the program
// with the last actions when the session's thread stops making progress.
class Minder {
 public:
  Minder(DWORD thread, ActionLog& log, std::string importName, std::string exportName, unsigned seed)
      : thread_(thread), log_(log), importName_(std::move(importName)), exportName_(std::move(exportName)),
        random_(seed), worker_([this] { run(); }) {}
  ~Minder() {
    stop_ = true;
    worker_.join();
  }
  Minder(const Minder&) = delete;
  Minder& operator=(const Minder&) = delete;

  void progressed() { lastProgress_ = GetTickCount64(); }
  unsigned boxes() const { return boxes_; }
  unsigned dialogs() const { return dialogs_; }

 private:
  static BOOL CALLBACK visit(HWND window, LPARAM self) {
    reinterpret_cast<Minder*>(self)->answer(window);
    return TRUE;
  }

  void answer(HWND window) {
    if (!IsWindowVisible(window) || host::windowClass(window) != "#32770") return;
    HWND field = GetDlgItem(window, cmb13);
    if (!field) field = GetDlgItem(window, edt1);
    if (field && std::find(seen_.begin(), seen_.end(), window) == seen_.end()) {
      // A file dialog, first seen: half the time a name, else Cancel.
      seen_.push_back(window);
      ++dialogs_;
      const bool save = host::windowText(window).find("Save") != std::string::npos;
      if (random_() % 2 == 0) {
        const std::string& name = save ? exportName_ : importName_;
        log_.add("dialog \"" + host::windowText(window) + "\": " + name);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()), SMTO_ABORTIFHUNG, 2000,
                            &ignored);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
        return;
      }
      log_.add("dialog \"" + host::windowText(window) + "\": cancelled");
      PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return;
    }
    if (field) {  // still there after its answer: a refused name
      PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return;
    }
    ++boxes_;
    said(window);
    const int button = GetDlgItem(window, IDOK) ? IDOK : GetDlgItem(window, IDYES) ? IDYES : IDCANCEL;
    log_.add("box \"" + host::windowText(window) + "\" answered " + std::to_string(button));
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
  }

  static BOOL CALLBACK collect(HWND child, LPARAM into) {
    if (host::windowClass(child) == "Static" && !host::windowText(child).empty()) *reinterpret_cast<std::string*>(into) += host::windowText(child);
    return TRUE;
  }

  void said(HWND box) {
    std::string text;
    EnumChildWindows(box, &Minder::collect, reinterpret_cast<LPARAM>(&text));
    std::lock_guard lock(mutex_);
    ++texts_[host::windowText(box) + ": " + text];
  }

 public:
  std::string boxTexts() {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const auto& [text, count] : texts_) all += "  " + std::to_string(count) + " x " + text + "\n";
    return all;
  }

 private:
  void run() {
    while (!stop_) {
      Sleep(60);
      EnumThreadWindows(thread_, &Minder::visit, reinterpret_cast<LPARAM>(this));
      if (GetTickCount64() - lastProgress_ > kStallMs) {
        std::fprintf(stderr, "monkey: no progress for %u s; the last actions:\n%s", kStallMs / 1000,
                     log_.recent().c_str());
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
      }
    }
  }

  DWORD thread_;
  ActionLog& log_;
  std::string importName_, exportName_;
  std::minstd_rand random_;
  std::vector<HWND> seen_;  // the file dialogs already answered
  std::mutex mutex_;
  std::map<std::string, int> texts_;  // what the boxes said, how often
  std::atomic<ULONGLONG> lastProgress_{GetTickCount64()};
  std::atomic<unsigned> boxes_{0}, dialogs_{0};
  std::atomic<bool> stop_{false};
  std::thread worker_;
};

struct Figures {
  unsigned clicks = 0, drags = 0, keys = 0, choices = 0, skipped = 0;
};

// One random action over the editor's window, as a person's input would
// reach the window under the pointer.
class Monkey {
 public:
  Monkey(HWND editor, HWND process, unsigned seed, ActionLog& log) : editor_(editor), process_(process), random_(seed), log_(log) {}

  void act(Figures& figures) {
    const unsigned kind = pick(100);
    if (kind < 45) click(figures);
    else if (kind < 70) drag(figures);
    else if (kind < 90) key(figures);
    else choose(figures);
  }

 private:
  unsigned pick(unsigned n) { return static_cast<unsigned>(random_() % n); }

  POINT anywhere() {
    RECT area{};
    GetWindowRect(editor_, &area);
    return POINT{area.left + static_cast<LONG>(pick(static_cast<unsigned>(area.right - area.left))),
                 area.top + static_cast<LONG>(pick(static_cast<unsigned>(area.bottom - area.top)))};
  }

  // The window a real press there would reach, if it is one of ours.
  HWND target(POINT screen) {
    HWND window = WindowFromPoint(screen);
    if (!window || window == process_ || !IsWindowEnabled(window)) return nullptr;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId == GetCurrentProcessId() ? window : nullptr;
  }

  static LPARAM at(HWND window, POINT screen) {
    ScreenToClient(window, &screen);
    return MAKELPARAM(static_cast<short>(screen.x), static_cast<short>(screen.y));
  }

  void note(const char* what, HWND window, POINT p) {
    log_.add(std::string(what) + " " + host::windowClass(window) + " \"" + host::windowText(window) + "\" id " +
             std::to_string(GetDlgCtrlID(window)) + " at " + std::to_string(p.x) + "," + std::to_string(p.y));
  }

  void click(Figures& figures) {
    const POINT p = anywhere();
    HWND window = target(p);
    if (!window) {
      ++figures.skipped;
      return;
    }
    const unsigned how = pick(10);
    const bool right = how == 0;
    const bool twice = how == 1;
    note(right ? "right click" : twice ? "double click" : "click", window, p);
    const LPARAM where = at(window, p);
    PostMessageA(window, WM_MOUSEMOVE, 0, where);
    PostMessageA(window, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, where);
    PostMessageA(window, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, where);
    if (twice) {
      PostMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, where);
      PostMessageA(window, WM_LBUTTONUP, 0, where);
    }
    ++figures.clicks;
  }

  // Pressed over one window and released anywhere, even outside it: while
  // the button is down the pressed window gets the moves, as under capture.
  void drag(Figures& figures) {
    const POINT from = anywhere();
    HWND window = target(from);
    if (!window) {
      ++figures.skipped;
      return;
    }
    POINT to = anywhere();
    if (pick(5) == 0) to.y += static_cast<LONG>(pick(200)) - 100;  // now and then off the window
    note("drag", window, from);
    PostMessageA(window, WM_MOUSEMOVE, 0, at(window, from));
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at(window, from));
    const int steps = 1 + static_cast<int>(pick(8));
    for (int i = 1; i <= steps; ++i) {
      const POINT p{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps};
      PostMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, at(window, p));
    }
    PostMessageA(window, WM_LBUTTONUP, 0, at(window, to));
    ++figures.drags;
  }

  static BOOL CALLBACK gatherControls(HWND child, LPARAM into) {
    if (IsWindowVisible(child) && IsWindowEnabled(child) && GetDlgCtrlID(child) != editor::kDisplay &&
        host::windowClass(child) != "Static")
      reinterpret_cast<std::vector<HWND>*>(into)->push_back(child);
    return TRUE;
  }

  // A key to the control with the focus or another of the editor's
  // controls, and now and then to the editor's window or its display, where
  // a key opens a box (which Wine keeps up for two seconds: a suite's run
  // with many would take minutes).
  void key(Figures& figures) {
    HWND window = GetFocus();
    if (!window || !IsChild(editor_, window) || GetDlgCtrlID(window) == editor::kDisplay || pick(2) == 0) {
      std::vector<HWND> controls;
      EnumChildWindows(editor_, &Monkey::gatherControls, reinterpret_cast<LPARAM>(&controls));
      if (pick(50) == 0 || controls.empty())
        window = pick(2) == 0 ? editor_ : host::findControl(editor_, editor::kDisplay);
      else
        window = controls[pick(static_cast<unsigned>(controls.size()))];
    }
    if (!window) {
      ++figures.skipped;
      return;
    }
    static constexpr UINT kKeys[] = {VK_RETURN, VK_ESCAPE, VK_TAB, VK_BACK, VK_DELETE, VK_LEFT, VK_RIGHT,
                                     VK_UP,     VK_DOWN,   VK_HOME, VK_END, VK_PRIOR,  VK_NEXT, VK_SPACE};
    static constexpr char kChars[] = "0123456789.-,eE +x";
    UINT vk = 0;
    char ch = 0;
    if (pick(3) == 0) {
      vk = kKeys[pick(sizeof kKeys / sizeof kKeys[0])];
    } else {
      ch = kChars[pick(sizeof kChars - 1)];
      vk = static_cast<UINT>(VkKeyScanA(ch) & 0xFF);
    }
    log_.add("key " + std::to_string(vk) + (ch ? std::string(" '") + ch + "'" : std::string()) + " to " +
             host::windowClass(window) + " id " + std::to_string(GetDlgCtrlID(window)));
    PostMessageA(window, WM_KEYDOWN, vk, 1);
    if (ch) PostMessageA(window, WM_CHAR, static_cast<unsigned char>(ch), 1);
    else if (vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_TAB || vk == VK_BACK || vk == VK_SPACE)
      PostMessageA(window, WM_CHAR, vk, 1);
    PostMessageA(window, WM_KEYUP, vk, 0xC0000001);
    ++figures.keys;
  }

  static BOOL CALLBACK gather(HWND child, LPARAM into) {
    if (IsWindowVisible(child) && IsWindowEnabled(child) && host::windowClass(child) == "ComboBox")
      reinterpret_cast<std::vector<HWND>*>(into)->push_back(child);
    return TRUE;
  }

  // An item of one of the lists, chosen as its drop-down would choose it.
  void choose(Figures& figures) {
    std::vector<HWND> lists;
    EnumChildWindows(editor_, &Monkey::gather, reinterpret_cast<LPARAM>(&lists));
    if (lists.empty()) {
      ++figures.skipped;
      return;
    }
    HWND list = lists[pick(static_cast<unsigned>(lists.size()))];
    const LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
    if (count <= 0) {
      ++figures.skipped;
      return;
    }
    const auto item = static_cast<WPARAM>(pick(static_cast<unsigned>(count)));
    log_.add("choose item " + std::to_string(item) + " of list " + std::to_string(GetDlgCtrlID(list)));
    SendMessageA(list, CB_SETCURSEL, item, 0);
    PostMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    ++figures.choices;
  }

  HWND editor_;
  HWND process_;
  std::mt19937 random_;
  ActionLog& log_;
};

TEST(PelmoraMonkey, RandomInputNeitherCrashesNorHangsAndProcessWritesAWholeFile) {
  const unsigned actions = fromEnvironment("PELMORA_MONKEY_ACTIONS", kDefaultActions);
  const unsigned seed = fromEnvironment("PELMORA_MONKEY_SEED", kDefaultSeed);
  const std::string input = tempPath("monkey.wav");
  const std::string curve = tempPath("monkey-import.pvc");
  const std::string exported = tempPath("monkey-export.pvc");
  const std::string output = tempPath("monkey-out.wav");
  const host::AudioData audio = shortRecording();
  ASSERT_TRUE(host::writeWav(input, audio, host::SampleFormat::Pcm16).ok());
  {
    std::ofstream text(curve);
    text << "0 1\n11025 1.02\n22050 0.98\n44100 1\n";
  }

  ActionLog log;
  Figures figures;
  const ULONGLONG start = GetTickCount64();
  unsigned boxes = 0, dialogs = 0;
  {
    host::SessionSettings settings;
    settings.pluginPath = "Pelmora.dll";
    settings.messageBoxes = false;
    settings.output = output;
    std::string problem;
    auto session = host::InteractiveSession::create(settings, problem);
    ASSERT_TRUE(session) << problem;
    ASSERT_TRUE(session->openFile(input, problem)) << problem;
    ASSERT_TRUE(session->openWindow(problem)) << problem;
    if (!session->editorOpen()) GTEST_SKIP() << "Pelmora opened no editor window here";
    HWND window = session->window()->window();
    HWND editor = session->window()->editorWindow();
    HWND process = host::findControl(window, host::HostWindow::kProcessId);
    ASSERT_TRUE(editor && process);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    session->tellFiles();

    Minder minder(GetCurrentThreadId(), log, curve, exported, seed);
    Monkey monkey(editor, process, seed, log);
    std::printf("monkey: %u actions, seed %u\n", actions, seed);
    for (unsigned i = 0; i < actions; ++i) {
      const ULONGLONG began = GetTickCount64();
      monkey.act(figures);
      ASSERT_TRUE(session->windowOpen()) << "the window closed after:\n" << log.recent();
      session->pumpUntil([] { return false; }, 4);
      minder.progressed();
      const ULONGLONG took = GetTickCount64() - began;
      if (took > 2000) std::printf("monkey: %.1f s at action %u (%s)\n", took / 1000.0, i, log.last().c_str());
    }
    // Whatever the work left, the passes end and the editor settles.
    ASSERT_TRUE(session->pumpUntil([&] { return !session->requests().pending(); }, 30000)) << log.recent();
    session->pumpUntil([] { return false; }, 500);
    minder.progressed();

    const std::size_t saved = session->savedFiles().size();
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(host::HostWindow::kProcessId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(process));
    ASSERT_TRUE(session->pumpUntil([&] { return session->savedFiles().size() > saved; }, 60000))
        << "Process wrote nothing: " << session->status() << "\nthe last actions:\n" << log.recent();
    minder.progressed();
    boxes = minder.boxes();
    dialogs = minder.dialogs();
    std::printf("monkey: the boxes said:\n%s", minder.boxTexts().c_str());
  }
  const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
  std::printf("monkey: %u clicks, %u drags, %u keys, %u list choices, %u misses; %u boxes and %u file dialogs "
              "answered; %.1f s\n",
              figures.clicks, figures.drags, figures.keys, figures.choices, figures.skipped, boxes, dialogs, seconds);

  // Whatever curve the clicks left, the file is a whole WAV of the input's
  // form and holds numbers.
  const host::WavReadResult corrected = host::readWav(output);
  ASSERT_TRUE(corrected.ok()) << corrected.message;
  EXPECT_FALSE(corrected.truncated);
  EXPECT_EQ(corrected.audio.channelCount(), 1);
  EXPECT_EQ(corrected.audio.sampleRate, audio.sampleRate);
  EXPECT_GT(corrected.audio.frames(), 0u);
  std::size_t unfinite = 0;
  for (float s : corrected.audio.channels[0]) unfinite += std::isfinite(s) ? 0 : 1;
  EXPECT_EQ(unfinite, 0u);
  DeleteFileA(input.c_str());
  DeleteFileA(curve.c_str());
  DeleteFileA(exported.c_str());
  DeleteFileA(output.c_str());
}

}  // namespace
