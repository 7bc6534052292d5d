#include "host/commands/CurveImportCommand.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <system_error>

#include "curve/CurveCheck.h"
#include "curve/CurveShaping.h"
#include "curve/CurveText.h"
#include "host/audio/AudioFiles.h"
#include "host/audio/AudioStore.h"
#include "host/audio/DiskFile.h"
#include "host/commands/Correction.h"
#include "host/commands/InteractiveSession.h"
#include "host/commands/OutputCheck.h"
#include "host/commands/WowMeasure.h"
#include "host/commands/WowReport.h"
#include "host/offline/ProgressPrinter.h"
#include "host/window/EditorSteps.h"
#include "host/window/PluginNames.h"

namespace host {

namespace {

// The passes of a correction take as long as the file needs.
constexpr unsigned kPassTimeoutMs = 24u * 3600u * 1000u;

// The name typed into the dialog: whole, so that it does not depend on the
// folder the dialog opens in.
std::string wholeName(const std::string& path) {
  std::error_code failed;
  const std::filesystem::path whole = std::filesystem::absolute(pathFromUtf8(path), failed);
  return failed ? path : utf8FromPath(whole);
}

// A copy of the checked curve for the plug-in to load, removed at the end.
class CurveCopy {
 public:
  ~CurveCopy() {
    if (!path_.empty()) removeFile(path_);
  }
  // Beside the output, or in the temporary folder when that name would not
  // reach the plug-in whole. False with a message when neither can be written.
  bool write(const std::string& text, const std::string& output, std::string& problem) {
    for (const std::string& candidate : {wholeName(output + ".part.pvc"), temporaryNameForPlugin(".pvc")}) {
      if (candidate.empty() || !fitsCodePage(candidate)) continue;
      DiskFile file(candidate, DiskFile::Mode::Create);
      if (!file.isOpen()) continue;
      path_ = candidate;
      if (file.writeAt(0, text.data(), text.size()) && file.close()) return true;
      problem = "cannot write the checked curve to " + candidate;
      return false;
    }
    problem = "no folder takes a copy of the curve under a name the plug-in can read; give the curve file a name "
              "in the system's code page";
    return false;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The reports of a finished correction: both files measured from their
// partials.
bool writeReports(const EditorCorrection& request, double rate, const std::vector<std::string>& steps,
                  std::ostream& out, std::ostream& err) {
  std::string problem;
  const std::optional<partials::Result> before = estimateWow(request.input, {}, nullptr, problem);
  const std::optional<partials::Result> after = before ? estimateWow(request.output, {}, nullptr, problem) : std::nullopt;
  if (!after) {
    err << "pelmora-host: the measure for the report: " << problem << '\n';
    return false;
  }
  out << "wow before: " << describeWow(*before) << '\n' << "wow after:  " << describeWow(*after) << '\n';
  return writeComparisonReports(request.reports, readingOfEstimate(*before, rate, request.input),
                                readingOfEstimate(*after, rate, request.output), steps, out, err);
}

}  // namespace

int runCurveImport(const EditorCorrection& request, std::ostream& out, std::ostream& err) {
  // Everything that can be known to fail is found out before the window opens.
  if (const std::string problem = whyNotOutput(request.input, request.output); !problem.empty()) {
    err << "pelmora-host: " << request.output << ": " << problem << '\n';
    return kExitOutput;
  }
  CurveCheck check;
  if (const int status = checkCurveFile(request.curve, err, check); status != kExitOk) return status;
  if (const int status = checkSamples(request.input, request.repairSamples, err); status != kExitOk) return status;
  // Pelmora's editor takes mono and stereo files only: said now, not once
  // its window is up. A file cut short is said as plain correct says it.
  double rate = 0.0;
  std::uint64_t frames = 0;
  {
    WavReadResult probe;
    const std::unique_ptr<AudioStore> audio = openWavStore(request.input, false, probe);
    if (audio) {
      rate = audio->sampleRate();
      frames = audio->frames();
    }
    if (audio && audio->channelCount() > 2) {
      err << "pelmora-host: the plug-in does not take " << request.input << " (" << audio->channelCount()
          << " channels, " << audio->sampleRate() << " Hz)\n";
      return kExitRefused;
    }
    if (audio && probe.truncated)
      err << "pelmora-host: " << request.input << ": the file is cut short; reading what is there\n";
  }

  WorkingFiles files;
  const std::string output = files.add(request.output, ".wav");
  std::vector<std::string> reportSteps{"correct --curve " + request.curve + " through \"Import PVC\""};
  // Lines the check set aside must not reach the plug-in, whose own reading
  // of them may differ, nor may a name it cannot take: it is given the
  // usable points in a copy instead.
  std::string curve = wholeName(request.curve);
  CurveCopy copy;
  std::string text = check.text();
  if (request.shape.any() && rate > 0.0) {
    std::vector<PvcPoint> points;
    for (const CurveCheck::Point& p : check.points) {
      PvcPoint point;
      point.position = static_cast<std::int32_t>(p.position);
      point.ratio = static_cast<float>(p.ratio);
      points.push_back(point);
    }
    text = curveFileText(shapeCurve(points, rate, static_cast<std::int64_t>(frames), request.shape));
    out << "curve shaped: " << request.shape.describe() << '\n';
    reportSteps.push_back("curve shaped: " + request.shape.describe());
  }
  if (check.unusableLines > 0 || !fitsCodePage(curve) || request.shape.any()) {
    std::string problem;
    if (!copy.write(text, request.output, problem)) {
      err << "pelmora-host: " << problem << '\n';
      return kExitOutput;
    }
    curve = copy.path();
  }

  SessionSettings settings;
  settings.linkedEntry = request.linkedEntry;
  settings.pluginPath = request.pluginPath;
  settings.blockSize = request.blockSize;
  settings.output = output;
  settings.repairSamples = request.repairSamples;
  settings.scratchFolder = folderOf(request.output);
  settings.progress = ProgressPrinter(err);
  settings.format = request.format;
  settings.what = "Pelmora correct";
  settings.cueCurve = curve;
  settings.note = [&err, &request](const std::string& note) {
    err << "pelmora-host: " << request.output << ": " << note << '\n';
  };
  const EditorWork work = [&](InteractiveSession& session, std::string& problem) {
    EditorSteps steps(session, out, kPassTimeoutMs);
    const bool done = steps.clickSplash() && steps.importCurve(curve) && steps.process();
    problem = steps.problem();
    return done;
  };
  const int status = runEditorBatch("correct", settings, request.input, files, work, out, err);
  if (status != kExitOk || request.reports.empty()) return status;
  return writeReports(request, rate, reportSteps, out, err) ? status : kExitOutput;
}

}  // namespace host
