#include "host/commands/MeasureCommand.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>

#include "host/audio/AudioFiles.h"
#include "host/audio/AudioStore.h"
#include "host/audio/DiskFile.h"
#include "host/commands/Correction.h"
#include "host/commands/WowMeasure.h"
#include "host/commands/WowReport.h"
#include "meter/MeterReport.h"
#include "meter/Readings.h"
#include "meter/ToneDemodulator.h"

namespace host {

namespace {

constexpr double kDefaultToneHz = 3150.0;
// Shares of the signal's power near the tone: above the first a file
// without --ref is taken for a test tone; below the second no tone is
// there to follow even when --ref names one.
constexpr double kToneFound = 0.5;
constexpr double kToneMissing = 0.25;
constexpr std::size_t kBlock = 65536;

constexpr const char* kMeasureUsage =
    "usage: pelmora-host measure IN.wav [--ref HZ|none] [--report R.html|R.json]...\n";
constexpr const char* kHelp =
    "Reads wow and flutter as AES6-2008 / IEC 60386 measure them: the weighted peak (2 sigma),\n"
    "weighted RMS, wow below 6 Hz and flutter above apart, unweighted RMS (0.5 to 200 Hz)\n"
    "and the speed offset against the nominal tone. --ref HZ names the reference tone\n"
    "(3000 for NAB and JIS test tapes); without it a strong 3150 Hz tone is used when there\n"
    "is one. Without a tone (or with --ref none) the figures come from the speed curve the\n"
    "music's partials give, which has no absolute speed. --report writes the figures as\n"
    "JSON or as an HTML page with the speed curve and its spectrum, by the name's ending.\n";

struct MeasureArguments {
  std::string input;
  double toneHz = kDefaultToneHz;
  bool toneNamed = false;
  bool noTone = false;
  std::vector<std::string> reports;
  bool help = false;
  std::string problem;
};

MeasureArguments parseMeasure(const std::vector<std::string>& args) {
  MeasureArguments parsed;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      parsed.help = true;
    } else if (takeReportOption(args, i, parsed.reports, parsed.problem)) {
      if (!parsed.problem.empty()) return parsed;
    } else if (a == "--ref") {
      if (i + 1 >= args.size()) {
        parsed.problem = a + " needs a value";
        return parsed;
      }
      const std::string& value = args[++i];
      if (value == "none") {
        parsed.noTone = true;
      } else {
        double hz = 0.0;
        auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), hz);
        if (ec != std::errc() || end != value.data() + value.size() || !(hz >= 100.0 && hz <= 20000.0)) {
          parsed.problem = "--ref needs a frequency from 100 to 20000 Hz, or none";
          return parsed;
        }
        parsed.toneHz = hz;
        parsed.toneNamed = true;
      }
    } else if (a.rfind("--", 0) == 0) {
      parsed.problem = "unknown option " + a;
      return parsed;
    } else if (parsed.input.empty()) {
      parsed.input = a;
    } else {
      parsed.problem = "measure takes one file name; a second was given: " + a;
      return parsed;
    }
  }
  if (parsed.input.empty() && !parsed.help) parsed.problem = "measure needs IN.wav";
  return parsed;
}

std::string percentText(double share) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f %%", share * 100.0);
  return text;
}

// The mix of all channels through the demodulator, a block at a time.
bool demodulate(AudioStore& store, meter::ToneDemodulator& tone, std::string& problem) {
  const int channels = store.channelCount();
  std::vector<std::vector<float>> planes(static_cast<std::size_t>(channels), std::vector<float>(kBlock));
  std::vector<float*> pointers;
  for (auto& plane : planes) pointers.push_back(plane.data());
  std::vector<float> mono(kBlock);
  for (std::uint64_t at = 0; at < store.frames();) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, store.frames() - at));
    if (!store.read(at, n, pointers.data())) {
      problem = "cannot read the audio at frame " + std::to_string(at) + ": " + store.problem();
      return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
      float sum = 0.0f;
      for (int c = 0; c < channels; ++c) sum += planes[c][i];
      mono[i] = sum / static_cast<float>(channels);
    }
    tone.feed(mono.data(), n);
    at += n;
  }
  return true;
}

int usage(std::ostream& err, const std::string& problem) {
  err << "pelmora-host: " << problem << '\n' << kMeasureUsage;
  return kExitUsage;
}

}  // namespace

int runMeasureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const MeasureArguments parsed = parseMeasure(args);
  if (!parsed.problem.empty()) return usage(err, parsed.problem);
  if (parsed.help) {
    out << kMeasureUsage << kHelp;
    return kExitOk;
  }
  WavReadResult opened;
  std::unique_ptr<AudioStore> store = openWavStore(parsed.input, true, opened);
  if (!store) {
    err << "pelmora-host: " << opened.message << '\n';
    return kExitInput;
  }
  if (store->frames() == 0 || store->channelCount() < 1) {
    err << "pelmora-host: " << parsed.input << ": there is no audio to measure\n";
    return kExitInput;
  }

  std::optional<meter::MeterReading> reading;
  std::string why;  // why the tone was not used
  std::string problem;
  if (!parsed.noTone) {
    if (!meter::ToneDemodulator::toneFits(store->sampleRate(), parsed.toneHz)) {
      if (parsed.toneNamed) {
        err << "pelmora-host: a " << parsed.toneHz << " Hz tone cannot be followed at " << store->sampleRate()
            << " Hz: the tone must lie between 1200 Hz and 40 % of the sample rate, and the rate be 8000 Hz or more\n";
        return kExitUsage;
      }
      why = "the sample rate is too low for a 3150 Hz tone";
    } else {
      meter::ToneDemodulator tone(store->sampleRate(), parsed.toneHz);
      if (!demodulate(*store, tone, problem)) {
        err << "pelmora-host: " << parsed.input << ": " << problem << '\n';
        return kExitInput;
      }
      const double share = tone.toneShare();
      if (share >= (parsed.toneNamed ? kToneMissing : kToneFound)) {
        reading = meter::readTone(tone, parsed.input);
      } else if (parsed.toneNamed) {
        err << "pelmora-host: " << parsed.input << ": no " << parsed.toneHz << " Hz tone to measure (only "
            << percentText(share) << " of the signal lies near it); without a tone: --ref none\n";
        return kExitInput;
      } else {
        why = "no strong 3150 Hz tone (" + percentText(share) + " of the signal lies near it)";
      }
    }
  }
  if (!reading) {
    const std::optional<partials::Result> estimate = estimateWow(*store, partials::Options{}, {}, nullptr, problem);
    if (!estimate) {
      err << "pelmora-host: " << parsed.input << ": " << problem << '\n';
      return kExitInput;
    }
    reading = readingOfEstimate(*estimate, store->sampleRate(), parsed.input);
    if (!why.empty()) reading->notes.insert(reading->notes.begin(), why + ": measured from the music's partials");
  }

  out << meter::readingText(*reading);
  bool written = true;
  for (const std::string& path : parsed.reports) {
    const bool json = endsWithNoCase(path, ".json");
    if (writeReportFile(path, json ? meter::readingJson(*reading) : meter::readingHtml(*reading), err))
      out << "report: " << path << '\n';
    else
      written = false;
  }
  if (!written) return kExitOutput;
  return reading->analysis.figures.samples == 0 ? kExitInput : kExitOk;
}

}  // namespace host
