#include "host/commands/WindowCommands.h"

#include <windows.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <ostream>

#include "host/commands/Correction.h"
#include "host/commands/InteractiveSession.h"
#include "host/commands/NumberText.h"
#include "host/commands/PictureCommand.h"

namespace host {

namespace {

constexpr const char* kUsage =
    "usage: pelmora-host open IN.wav [OUT.wav] [--plugin PATH] [--block FRAMES]\n"
    "       pelmora-host show IN.wav --picture OUT.bmp [--splash | --zoom-in N | --range A:B]\n"
    "                         [--timeout SECONDS] [--plugin PATH]\n"
    "open shows the plug-in's editor for IN.wav; \"Process\" runs the plug-in's process and\n"
    "saves its file as OUT.wav, or beside IN.wav under a name no file has yet.\n"
    "show clicks the editor's picture, lets the reading pass draw and saves the editor window\n"
    "as a 24-bit BMP. --splash saves the picture the editor shows before the click; --zoom-in\n"
    "clicks the editor's time zoom-in button N times (each halves the time shown around its\n"
    "centre); --range drags the editor's zoom tool over A to B seconds.\n";

struct Arguments {
  std::vector<std::string> positional;
  std::string plugin;
  std::string picture;
  int blockSize = 4096;
  bool splash = false;
  int zoomInClicks = 0;
  bool hasRange = false;
  double rangeStart = 0.0;
  double rangeEnd = 0.0;
  double timeoutSeconds = 600.0;
  std::string problem;
};

Arguments parse(const std::vector<std::string>& args) {
  Arguments parsed;
  const bool show = args[0] == "show";
  for (std::size_t i = 1; i < args.size() && parsed.problem.empty(); ++i) {
    const std::string& a = args[i];
    const bool showOption =
        a == "--picture" || a == "--range" || a == "--timeout" || a == "--splash" || a == "--zoom-in";
    const bool takesValue = a == "--plugin" || a == "--block" || (showOption && a != "--splash");
    if (showOption && !show) {
      parsed.problem = "unknown option " + a + " for open";
    } else if (takesValue && i + 1 >= args.size()) {
      parsed.problem = a + " needs a value";
    } else if (a == "--plugin") {
      parsed.plugin = args[++i];
    } else if (a == "--picture") {
      parsed.picture = args[++i];
    } else if (a == "--block") {
      double block = 0.0;
      if (!parseNumber(args[++i], block) || block < 1 || block > (1 << 20) || block != std::floor(block))
        parsed.problem = "--block needs a frame count from 1 to 1048576";
      parsed.blockSize = static_cast<int>(block);
    } else if (a == "--zoom-in") {
      double clicks = 0.0;
      if (!parseNumber(args[++i], clicks) || clicks < 1 || clicks > 16 || clicks != std::floor(clicks))
        parsed.problem = "--zoom-in needs a number of clicks from 1 to 16";
      parsed.zoomInClicks = static_cast<int>(clicks);
    } else if (a == "--timeout") {
      if (!parseNumber(args[++i], parsed.timeoutSeconds) || parsed.timeoutSeconds <= 0.0 ||
          parsed.timeoutSeconds > 86400.0)
        parsed.problem = "--timeout needs a number of seconds up to 86400";
    } else if (a == "--range") {
      const std::string& value = args[++i];
      const std::size_t colon = value.find(':');
      parsed.hasRange = true;
      if (colon == std::string::npos || !parseNumber(value.substr(0, colon), parsed.rangeStart) ||
          !parseNumber(value.substr(colon + 1), parsed.rangeEnd) || parsed.rangeStart < 0.0 ||
          parsed.rangeEnd <= parsed.rangeStart)
        parsed.problem = "--range needs A:B, two times in seconds with A below B";
    } else if (a == "--splash") {
      parsed.splash = true;
    } else if (a.rfind("--", 0) == 0) {
      parsed.problem = "unknown option " + a;
    } else {
      parsed.positional.push_back(a);
    }
  }
  if (!parsed.problem.empty()) return parsed;
  if (show) {
    if (parsed.positional.size() != 1) parsed.problem = "show needs IN.wav";
    else if (parsed.picture.empty()) parsed.problem = "show needs --picture OUT.bmp";
    else if ((parsed.splash ? 1 : 0) + (parsed.hasRange ? 1 : 0) + (parsed.zoomInClicks > 0 ? 1 : 0) > 1)
      parsed.problem = "--splash, --zoom-in and --range do not go together";
  } else if (parsed.positional.empty() || parsed.positional.size() > 2) {
    parsed.problem = "open needs IN.wav and at most one OUT.wav";
  } else if (parsed.positional.size() == 2) {
    std::error_code ignored;
    const auto in = std::filesystem::absolute(parsed.positional[0], ignored).lexically_normal();
    const auto output = std::filesystem::absolute(parsed.positional[1], ignored).lexically_normal();
    if (in == output || std::filesystem::equivalent(parsed.positional[0], parsed.positional[1], ignored))
      parsed.problem = "OUT.wav must be another file than IN.wav";
  }
  return parsed;
}

void box(const std::string& text) { MessageBoxA(nullptr, text.c_str(), "pelmora-host", MB_OK | MB_ICONERROR); }

}  // namespace

bool isWindowCommand(const std::string& command) { return command == "open" || command == "show"; }

int runWindowCommand(const std::vector<std::string>& args, const PluginSource& source, std::ostream& out,
                     std::ostream& err) {
  if (args.empty() || !isWindowCommand(args[0])) {
    err << "pelmora-host: not a window command\n" << kUsage;
    return kExitUsage;
  }
  const bool show = args[0] == "show";
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      out << kUsage;
      return kExitOk;
    }
  }
  const Arguments parsed = parse(args);
  if (!parsed.problem.empty()) {
    err << "pelmora-host: " << parsed.problem << '\n' << kUsage;
    return kExitUsage;
  }
  SessionSettings settings;
  settings.linkedEntry = parsed.plugin.empty() ? source.linkedEntry : nullptr;
  settings.pluginPath = parsed.plugin.empty() ? source.defaultPath : parsed.plugin;
  settings.blockSize = parsed.blockSize;
  settings.output = parsed.positional.size() == 2 ? parsed.positional[1] : std::string();
  // A picture run is a batch job: its failures go to the error stream only.
  settings.messageBoxes = !show;

  std::string problem;
  std::unique_ptr<InteractiveSession> session = InteractiveSession::create(settings, problem);
  if (!session) {
    err << "pelmora-host: " << problem << '\n';
    if (!show) box("Cannot load the plug-in:\n" + problem);
    return kExitPlugin;
  }
  const std::string& input = parsed.positional[0];
  if (!session->openFile(input, problem)) {
    err << "pelmora-host: " << input << ": " << problem << '\n';
    if (!show) box("Cannot read " + input + ":\n" + problem);
    return kExitInput;
  }
  if (!session->openWindow(problem)) {
    err << "pelmora-host: " << problem << '\n';
    return kExitRefused;
  }
  if (show) {
    PictureRequest request;
    request.picture = parsed.picture;
    request.clickSplash = !parsed.splash;
    request.zoomInClicks = parsed.zoomInClicks;
    request.hasRange = parsed.hasRange;
    request.rangeStart = parsed.rangeStart;
    request.rangeEnd = parsed.rangeEnd;
    request.timeoutMs = static_cast<unsigned>(parsed.timeoutSeconds * 1000.0);
    PictureReport report;
    return takePicture(*session, request, report, out, err);
  }
  session->tellFiles();
  session->runUntilClosed();
  for (const std::string& saved : session->savedFiles()) out << saved << '\n';
  return kExitOk;
}

}  // namespace host
