#include "host/commands/Correction.h"

#include <memory>
#include <optional>
#include <ostream>

#include "curve/CurveCheck.h"
#include "detect/OperationModes.h"
#include "host/audio/AudioFiles.h"
#include "host/audio/WavFile.h"
#include "host/commands/CurveFrames.h"
#include "host/commands/CurveHandoff.h"
#include "host/commands/OutputCheck.h"
#include "host/commands/WowMeasure.h"
#include "host/commands/WowReport.h"
#include "host/offline/OfflineHost.h"
#include "host/offline/ProgressPrinter.h"
#include "platform/Platform.h"

namespace host {

namespace {

// The detectors the command line names, with the mode that runs each.
struct Detector {
  const char* option;
  int mode;
  const char* name;  // in messages
};
constexpr Detector kDetectors[] = {
    {"hum", kModeHum, "hum"}, {"pilot", kModePilotTone, "pilot-tone"}, {"spectral", kModeSpectral, "spectral-domain"}};

const char* detectorName(int mode) {
  for (const Detector& d : kDetectors)
    if (d.mode == mode) return d.name;
  return "";
}

const char* detectorOption(int mode) {
  for (const Detector& d : kDetectors)
    if (d.mode == mode) return d.option;
  return "";
}

const ProcessOutcome* lastWithNewFile(const OfflineHost& host, std::size_t since) {
  const auto& processes = host.processes();
  for (std::size_t i = processes.size(); i > since; --i)
    if (processes[i - 1].succeeded && !processes[i - 1].newFiles.empty()) return &processes[i - 1];
  return nullptr;
}

std::string lastProblem(const OfflineHost& host, std::size_t since) {
  const auto& processes = host.processes();
  for (std::size_t i = processes.size(); i > since; --i)
    if (!processes[i - 1].problem.empty()) return processes[i - 1].problem;
  return {};
}

}  // namespace

int detectorMode(const std::string& name) {
  for (const Detector& d : kDetectors)
    if (name == d.option) return d.mode;
  return 0;
}

int checkCurveFile(const std::string& path, std::ostream& err, CurveCheck& check) {
  std::string text;
  if (!readTextFile(path, text)) {
    err << "pelmora-host: cannot read the curve file " << path << '\n';
    return kExitInput;
  }
  check = curvecheck::checkCurveText(text);
  if (check.unusableLines > 0) {
    err << "pelmora-host: " << path << ": " << check.unusableLines
        << (check.unusableLines == 1 ? " line" : " lines") << " could not be used";
    for (std::size_t i = 0; i < check.firstReasons.size(); ++i) err << (i == 0 ? " (" : "; ") << check.firstReasons[i];
    err << (check.unusableLines > check.firstReasons.size() ? "; ...)" : ")") << '\n';
  }
  if (!check.refusal.empty()) {
    err << "pelmora-host: " << path << ": " << check.refusal << '\n';
    return kExitInput;
  }
  return kExitOk;
}

int checkSamples(const std::string& input, bool repairSamples, std::ostream& err) {
  // A float file may hold samples that are not numbers; they would spread
  // through every pass.
  WavReadResult probe;
  std::unique_ptr<AudioStore> raw = openWavStore(input, false, probe);
  if (!raw || (probe.format != SampleFormat::Float32 && probe.format != SampleFormat::Float64)) return kExitOk;
  const NonFiniteSamples bad = findNonFinite(*raw);
  if (bad.count > 0 && !repairSamples) {
    err << "pelmora-host: " << input << ": frame " << bad.firstFrame << " of channel " << bad.firstChannel + 1
        << " is not a finite number (" << bad.count << (bad.count == 1 ? " such sample" : " such samples")
        << " in the file); --repair-samples reads them as silence\n";
    return kExitInput;
  }
  if (bad.count > 0)
    err << "pelmora-host: " << input << ": " << bad.count
        << (bad.count == 1 ? " NaN or infinite sample" : " NaN or infinite samples") << " read as silence\n";
  return kExitOk;
}

int runCorrection(OfflineHost& host, const CorrectionRequest& request, std::ostream& out, std::ostream& err) {
  // Everything that can be known to fail is found out before the first pass.
  if (const std::string problem = whyNotOutput(request.input, request.output); !problem.empty()) {
    err << "pelmora-host: " << request.output << ": " << problem << '\n';
    return kExitOutput;
  }
  const std::string title = titleOf(request.input);
  // The curve the correction follows, as text, for the cue points: a
  // detection's is the plug-in's own and not known here; with none given
  // the plug-in's curve is flat.
  std::string curveText;
  bool curveKnown = request.detector == 0;
  // The curve must be in place before the plug-in first hears of the file.
  CurveHandoff handoff;
  if (!request.curve.empty()) {
    if (!request.curveLocation) {
      err << "pelmora-host: this host cannot hand a curve to the plug-in\n";
      return kExitUsage;
    }
    CurveCheck check;
    if (const int status = checkCurveFile(request.curve, err, check); status != kExitOk) return status;
    std::string problem;
    curveText = check.text();
    if (!handoff.placeText(check.text(), request.curveLocation(title), problem)) {
      err << "pelmora-host: " << problem << '\n';
      return kExitInput;
    }
  } else if (request.curveLocation) {
    // A curve left where the plug-in looks for one is taken without a word
    // from the plug-in: the user must know the output follows it.
    const std::string found = request.curveLocation(title);
    if (platform::fileAttributes(found) != platform::kInvalidAttributes) {
      err << "pelmora-host: the plug-in applies the curve " << found
          << ", found under the input's name in its snapshot folder (remove the file to correct without it)\n";
      curveKnown = curveKnown && readTextFile(found, curveText);
    }
  }
  if (const int status = checkSamples(request.input, request.repairSamples, err); status != kExitOk) return status;

  std::size_t index = 0;
  const WavReadResult input = openAudioFile(host, request.input, index, request.repairSamples);
  if (!input.ok()) {
    err << "pelmora-host: " << request.input << ": " << input.message << '\n';
    return kExitInput;
  }
  if (input.truncated) err << "pelmora-host: " << request.input << ": the file is cut short; reading what is there\n";
  const int channels = host.file(index).audio->channelCount();
  const double rate = host.file(index).audio->sampleRate();
  if (host.file(index).audio->frames() == 0) {
    err << "pelmora-host: " << request.input << ": the file holds no audio\n";
    return kExitInput;
  }
  // The plug-in's editor refuses this detector below its lowest rate without
  // a reason that reaches a host; say it before any pass.
  if (request.detector == kModePilotTone && rate < detect::kPilotMinSampleRate) {
    err << "pelmora-host: " << request.input << ": the sample rate, " << rate << " Hz, is below the "
        << detect::kPilotMinSampleRate << " Hz the pilot-tone detector needs\n";
    return kExitRefused;
  }
  host.setCurrentFile(index);
  host.setProgressObserver(ProgressPrinter(err));
  // The printer writes to err, which need not outlive the host.
  struct ObserverReset {
    OfflineHost& host;
    ~ObserverReset() { host.setProgressObserver(nullptr); }
  } observerReset{host};

  host.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
  host.dispatch(effMainsChanged, 0, 1);

  const std::size_t beforeNotification = host.processes().size();
  if (!host.notifyFiles()) {
    err << "pelmora-host: the plug-in does not take " << request.input << " (" << channels << " channels, " << rate
        << " Hz)\n";
    return kExitRefused;
  }

  // The reading pass: Pelmora's editor starts it itself when it takes up a
  // new file; for a plug-in that does not, it is started here as that
  // editor starts it. Reading the file twice would only cost time.
  ProcessOutcome reading;
  if (host.processes().size() > beforeNotification) {
    reading = host.processes().back();
  } else {
    host.setParameter(0, static_cast<float>(kModeRead));
    reading = host.runProcess({index}, 0,
                              kVstOfflineCanProcessSelection | kVstOfflineWantRead | kVstOfflineNoChannelChange);
  }
  if (!reading.succeeded) {
    err << "pelmora-host: the reading pass failed: " << reading.problem << '\n';
    return kExitRefused;
  }

  // A detected curve is held to leaving less wow than the input has, as the
  // partials read it.
  std::optional<partials::Result> inputWow;
  // Only a detected curve is held to it; a report wants the figures anyway.
  bool holdToLessWow = request.detector != 0;
  if (holdToLessWow || !request.reports.empty()) {
    std::string problem;
    inputWow = estimateWow(*host.file(index).audio, {}, {}, nullptr, problem);
    if (!inputWow) {
      err << "pelmora-host: " << request.input << ": " << problem << '\n';
      return kExitInput;
    }
  }

  // A detection, requested as the plug-in's editor requests one: the mode
  // names it and the next file list makes the plug-in start it.
  if (request.detector != 0) {
    host.setParameter(0, static_cast<float>(request.detector));
    const std::size_t before = host.processes().size();
    host.notifyFiles();
    const auto& processes = host.processes();
    if (processes.size() == before) {
      err << "pelmora-host: the plug-in could not set up its " << detectorName(request.detector) << " detector for "
          << request.input << '\n';
      return kExitRefused;
    }
    if (!processes.back().succeeded) {
      const std::string& problem = processes.back().problem;
      err << "pelmora-host: the " << detectorName(request.detector) << " detection failed"
          << (problem.empty() ? "" : ": " + problem) << '\n';
      if (!request.goOn) return kExitRefused;
      // The plug-in keeps the curve flat when it finds nothing to follow.
      err << "pelmora-host: --go-on: correcting along the plug-in's curve as it stands\n";
      // Asked for as it stands: nothing to hold it to.
      holdToLessWow = false;
      if (request.reports.empty()) inputWow.reset();
    }
  }

  // The plug-in's own process, started as a user starts it from the host.
  host.setParameter(0, static_cast<float>(kModeCorrect));
  const std::size_t before = host.processes().size();
  const bool started = host.requestStart();
  const ProcessOutcome* correction = lastWithNewFile(host, before);
  if (!started || !correction) {
    const std::string problem = lastProblem(host, before);
    if (host.processes().size() == before)
      err << "pelmora-host: the plug-in declined to start its process\n";
    else
      err << "pelmora-host: the plug-in's process failed: " << (problem.empty() ? "no reason given" : problem) << '\n';
    return kExitRefused;
  }
  host.dispatch(effMainsChanged, 0, 0);

  const HostFile& result = host.file(correction->newFiles.front());
  std::optional<partials::Result> after;
  std::vector<std::string> steps{request.detector != 0 ? "correct with the plug-in's " + std::string(detectorName(request.detector)) + " detector"
                                 : request.curve.empty() ? std::string("correct along the plug-in's own curve")
                                                         : "correct --curve " + request.curve};
  if (inputWow) {
    std::string problem;
    after = estimateWow(*result.audio, {}, {}, nullptr, problem);
    if (!after) {
      err << "pelmora-host: the measure of the corrected audio: " << problem << '\n';
      return kExitOutput;
    }
    out << "wow before: " << describeWow(*inputWow) << '\n' << "wow after:  " << describeWow(*after) << '\n';
  }
  if (inputWow && holdToLessWow) {
    const std::optional<bool> less = lessWow(*inputWow, *after);
    if (less == false && !request.force) {
      err << "pelmora-host: the corrected audio has no less wow than " << request.input << " ("
          << after->wow.rmsPercent << " % RMS after, " << inputWow->wow.rmsPercent
          << " % before): nothing was saved (--force saves it)\n";
      return kExitRefused;
    }
    if (less == false) out << "wow: no less than before; saved all the same (--force)\n";
    if (!less) out << "wow: not compared, one of the two has no figure\n";
    steps.push_back(!less ? "wow not compared, one of the two has no figure"
                    : *less ? "the output has less wow than the input: saved"
                            : "the output has no less wow than the input; saved all the same (--force)");
  }
  FrameMapping mapping;
  if (curveKnown && curveText.empty()) mapping = [](const std::vector<std::uint64_t>& frames) { return frames; };
  else if (curveKnown) mapping = curveTextMapping(curveText, host.file(index).audio->frames());
  OutputPlan plan;
  std::string problem;
  const std::string what = request.detector != 0 ? std::string("Pelmora correct --detect ") + detectorOption(request.detector)
                                                 : std::string("Pelmora correct");
  if (!planOutput(request.input, request.format, what, mapping ? &mapping : nullptr, plan, problem)) {
    err << "pelmora-host: " << request.input << ": " << problem << '\n';
    return kExitInput;
  }
  for (const std::string& note : plan.notes) err << "pelmora-host: " << request.output << ": " << note << '\n';
  WavWriteResult written = saveAudioFile(result, request.output, plan.form());
  if (!written.ok()) {
    err << "pelmora-host: " << request.output << ": " << written.message << '\n';
    return kExitOutput;
  }
  out << request.output << ": " << result.audio->frames() << " frames, " << result.audio->channelCount()
      << " channels, " << result.audio->sampleRate() << " Hz, " << formatName(plan.format) << '\n';
  if (request.reports.empty() || !after) return kExitOk;
  return writeComparisonReports(request.reports, readingOfEstimate(*inputWow, rate, request.input),
                                readingOfEstimate(*after, rate, request.output), steps, out, err)
             ? kExitOk
             : kExitOutput;
}

}  // namespace host
