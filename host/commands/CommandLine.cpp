#include "host/commands/CommandLine.h"

#include <charconv>
#include <new>
#include <ostream>
#include <stdexcept>

#include "host/commands/Correction.h"
#include "host/commands/FiguresFile.h"
#include "host/commands/MeasureCommand.h"
#include "host/commands/OutputCheck.h"
#include "host/commands/ShapeArguments.h"
#include "host/commands/WowReport.h"
#include "host/offline/OfflineHost.h"
#include "host/offline/PluginInfo.h"
#include "host/offline/PluginInstance.h"

namespace host {

namespace {

constexpr const char* kUsage =
    "usage: pelmora-host info [--plugin PATH]\n"
    "       pelmora-host open IN.wav [OUT.wav]    (see pelmora-host open --help)\n"
    "       pelmora-host show IN.wav --picture OUT.bmp [--splash | --zoom-in N | --range A:B]\n"
    "       pelmora-host dewow IN.wav OUT.wav --algorithm hum|pilot|spectral|cog|partials ...\n"
    "                            (see pelmora-host dewow --help)\n"
    "       pelmora-host correct IN.wav OUT.wav [--plugin PATH] [--block FRAMES] [--curve FILE.pvc]\n"
    "                            [--detect hum|pilot [--go-on] [--force]] [--repair-samples]\n"
    "                            [--smooth HZ] [--strength S] [--keep-drift] [--keep-pitch]\n"
    "                            [--report R.html|R.json]... (the wow before and after)\n"
    "                            [--figures F.json]\n"
    "                            [--format same|float32|pcm24|pcm16]\n"
    "       pelmora-host batch IN_DIR OUT_DIR --algorithm ALG [--jobs N] ...  (see batch --help)\n"
    "       pelmora-host measure IN.wav [--ref HZ|none] [--report R.html|R.json]  (see measure --help)\n"
    "The default plug-in is Pelmora.dll beside pelmora-host. correct runs the plug-in's\n"
    "reading pass and then its own process on IN.wav and writes the new file to\n"
    "OUT.wav in IN.wav's sample format (--format chooses another; integer samples are\n"
    "dithered), with IN.wav's other chunks (bext, iXML, LIST, cue ...). --curve gives Pelmora a curve file for IN.wav (pelmora-host.exe\n"
    "loads it with \"Import PVC\" in the plug-in's editor, in a window for the run). --detect\n"
    "has the plug-in find the curve first, from mains hum or a pilot tone above 14 kHz\n"
    "(the partials of the music: dewow --algorithm spectral); when it finds none the\n"
    "run stops, or with --go-on corrects along the flat curve. The wow of IN.wav and of the\n"
    "corrected audio is measured from their partials, and a detected curve that leaves no\n"
    "less wow is not saved (--force saves it). A float file with NaN or\n"
    "infinite samples is refused; --repair-samples reads them as silence instead.\n"
    "--figures writes the wow of IN.wav and OUT.wav (% RMS and peak) to F.json.\n";

struct Arguments {
  std::vector<std::string> positional;
  std::string plugin;
  std::string curve;
  std::string figures;
  int detector = 0;
  int blockSize = 4096;
  bool repairSamples = false;
  bool goOn = false;
  bool force = false;
  FormatChoice format = FormatChoice::Same;
  CurveShape shape;
  std::vector<std::string> reports;
  std::string problem;
};

Arguments parse(const std::vector<std::string>& args, std::size_t from) {
  Arguments parsed;
  for (std::size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--plugin" || a == "--block" || a == "--curve" || a == "--detect" || a == "--figures" ||
        a == "--format") {
      if (i + 1 >= args.size()) {
        parsed.problem = a + " needs a value";
        return parsed;
      }
      const std::string& value = args[++i];
      if (a == "--plugin") {
        parsed.plugin = value;
      } else if (a == "--format") {
        if (!parseFormatChoice(value, parsed.format)) {
          parsed.problem = "--format needs same, float32, pcm24 or pcm16";
          return parsed;
        }
      } else if (a == "--curve") {
        parsed.curve = value;
      } else if (a == "--figures") {
        parsed.figures = value;
      } else if (a == "--detect") {
        parsed.detector = detectorMode(value);
        if (parsed.detector == 0) {
          parsed.problem = "--detect needs hum, pilot or spectral";
          return parsed;
        }
      } else {
        int block = 0;
        auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), block);
        if (ec != std::errc() || end != value.data() + value.size() || block < 1 || block > (1 << 20)) {
          parsed.problem = "--block needs a frame count from 1 to 1048576";
          return parsed;
        }
        parsed.blockSize = block;
      }
    } else if (a == "--repair-samples") {
      parsed.repairSamples = true;
    } else if (a == "--go-on") {
      parsed.goOn = true;
    } else if (a == "--force") {
      parsed.force = true;
    } else if (takeShapeOption(args, i, parsed.shape, parsed.problem) ||
               takeReportOption(args, i, parsed.reports, parsed.problem)) {
      if (!parsed.problem.empty()) return parsed;
    } else if (a.rfind("--", 0) == 0) {
      parsed.problem = "unknown option " + a;
      return parsed;
    } else {
      parsed.positional.push_back(a);
    }
  }
  return parsed;
}

int usageError(std::ostream& err, const std::string& problem) {
  err << "pelmora-host: " << problem << '\n' << kUsage;
  return kExitUsage;
}

int runCommand(const std::vector<std::string>& args, const PluginSource& source, std::ostream& out,
               std::ostream& err);

}  // namespace

int runCommandLine(const std::vector<std::string>& args, const PluginSource& source, std::ostream& out,
                   std::ostream& err) {
  // Whatever goes wrong ends in a message and an exit code, never in terminate.
  try {
    return runCommand(args, source, out, err);
  } catch (const std::bad_alloc&) {
    err << "pelmora-host: out of memory\n";
  } catch (const std::exception& e) {
    err << "pelmora-host: " << e.what() << '\n';
  }
  return kExitFailure;
}

namespace {

int runCommand(const std::vector<std::string>& args, const PluginSource& source, std::ostream& out,
               std::ostream& err) {
  if (args.empty()) return usageError(err, "no command given");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return kExitOk;
  }
  if (command == "measure") return runMeasureCommand(args, out, err);
  if (command != "info" && command != "correct") return usageError(err, "unknown command " + command);

  Arguments parsed = parse(args, 1);
  if (!parsed.problem.empty()) return usageError(err, parsed.problem);
  const std::size_t wanted = command == "info" ? 0 : 2;
  if (parsed.positional.size() != wanted) {
    if (wanted == 0) return usageError(err, command + " takes no file names");
    if (parsed.positional.size() < wanted) return usageError(err, command + " needs IN.wav and OUT.wav");
    std::string names;
    for (const std::string& name : parsed.positional) names += " " + name;
    return usageError(err, command + " takes two file names, IN.wav and OUT.wav; " +
                               std::to_string(parsed.positional.size()) + " were given:" + names);
  }
  if (!parsed.curve.empty() && parsed.detector != 0)
    return usageError(err, "--curve and --detect cannot go together: --detect finds the curve that --curve would give");
  if (!parsed.curve.empty() && command != "correct") return usageError(err, "only correct takes a curve");
  if (!parsed.figures.empty() && command != "correct") return usageError(err, "only correct has figures to write");
  if (!parsed.figures.empty() && (parsed.figures == parsed.positional[0] || parsed.figures == parsed.positional[1]))
    return usageError(err, "--figures must name another file than IN.wav and OUT.wav");
  // The run again, its wow measured before and after.
  if (!parsed.figures.empty()) {
    std::vector<std::string> plain;
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (args[i] == "--figures") ++i;
      else plain.push_back(args[i]);
    }
    return runMeasured(parsed.figures, parsed.positional[0], parsed.positional[1],
                       [&] { return runCommand(plain, source, out, err); }, err);
  }
  if (parsed.detector != 0 && command != "correct") return usageError(err, "only correct takes a detector");
  if (parsed.goOn && parsed.detector == 0) return usageError(err, "--go-on goes with --detect");
  if (parsed.force && parsed.detector == 0) return usageError(err, "--force goes with --detect");
  if (!parsed.reports.empty() && command != "correct") return usageError(err, "only correct writes a report");
  for (const std::string& report : parsed.reports)
    if (const std::string problem = whyNotOutput(parsed.positional[0], report); !problem.empty()) {
      err << "pelmora-host: " << report << ": " << problem << '\n';
      return kExitOutput;
    }
  if (parsed.shape.any() && parsed.curve.empty())
    return usageError(err, "--smooth, --strength, --keep-drift and --keep-pitch shape a curve given with --curve "
                           "(or found by dewow)");
  if (parsed.shape.any() && !source.curveThroughEditor)
    return usageError(err, "this host hands curves to the plug-in as they are: it cannot shape them");
  // Over the whole file and band the spectral detector follows whatever is
  // loudest, not the music's partials; only the editor's display can give it
  // a band and a range.
  if (parsed.detector == detectorMode("spectral"))
    return usageError(err,
                      "--detect spectral needs a band and a range drawn on the editor's display: use "
                      "pelmora-host dewow IN.wav OUT.wav --algorithm spectral --band LO:HI [--range A:B]");
  if (!parsed.curve.empty() && !source.curveLocation && !source.curveThroughEditor)
    return usageError(err, "this host cannot hand a curve to the plug-in");
  const bool linked = parsed.plugin.empty() && source.linkedEntry;
  const std::string pluginPath = !parsed.plugin.empty() ? parsed.plugin : linked ? "(linked in)" : source.defaultPath;
  // A curve goes to the plug-in as a person gives it one: "Import PVC" in its editor.
  if (!parsed.curve.empty() && source.curveThroughEditor)
    return source.curveThroughEditor({parsed.positional[0], parsed.positional[1], parsed.curve,
                                      linked ? std::string() : pluginPath, linked ? source.linkedEntry : nullptr,
                                      parsed.blockSize, parsed.repairSamples, parsed.shape, parsed.reports, parsed.format},
                                     out, err);

  HostOptions options;
  options.blockSize = parsed.blockSize;
  // The new audio waits on disk beside the output until it is saved there.
  if (command == "correct") options.scratchFolder = folderOf(parsed.positional[1]);
  OfflineHost host(options);
  PluginInstance::Loaded loaded = linked ? PluginInstance::fromEntry(source.linkedEntry, &OfflineHost::callback)
                                         : PluginInstance::load(pluginPath, &OfflineHost::callback);
  if (!loaded.plugin) {
    err << "pelmora-host: " << loaded.message << '\n';
    return kExitPlugin;
  }
  host.attach(loaded.plugin->effect());
  host.dispatch(effOpen);
  host.dispatch(effSetBlockSize, 0, parsed.blockSize);

  int status = kExitOk;
  if (command == "info") {
    out << "plug-in: " << pluginPath << '\n';
    // Where a curve named after a file is taken up, for scripts that must
    // clear one: the location of the empty title, less its extension.
    if (source.curveLocation) {
      const std::string empty = source.curveLocation("");
      out << "hand-off curve folder: " << empty.substr(0, empty.size() - std::string_view(".pvc").size()) << '\n';
    }
    describePlugin(host, out);
  } else {
    status = runCorrection(
        host,
        {parsed.positional[0], parsed.positional[1], parsed.curve, source.curveLocation, parsed.detector,
         parsed.repairSamples, parsed.goOn, parsed.force, parsed.reports, parsed.format},
        out, err);
  }
  // effClose comes from the plug-in's owner; the host stops answering first.
  host.detach();
  return status;
}

}  // namespace

}  // namespace host
