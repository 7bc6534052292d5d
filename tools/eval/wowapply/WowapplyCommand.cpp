#include "tools/eval/wowapply/WowapplyCommand.h"

#include <charconv>
#include <cmath>
#include <ostream>

#include "tools/eval/wowapply/SourceExcerpt.h"
#include "tools/eval/wowapply/WowRender.h"
#include "tools/eval/wowgen/WavWrite.h"
#include "tools/eval/wowgen/WowRecipe.h"
#include "tools/eval/wowgen/WowSynth.h"

namespace wowapply {

namespace {

constexpr const char* kUsage =
    "usage: wowapply IN... --clean CLEAN.wav --out WOWED.wav --curve TRUE.pvc\n"
    "                [--start S] [--seconds S] [--gap S] [--wow RATE:PERCENT[:PHASE]]... [--drift PERCENT]\n"
    "                [--hum 50|60] [--hum-db DB] [--hum-harmonics N] [--pilot HZ] [--pilot-db DB] [--step FRAMES]\n"
    "       wowapply IN... --info [--gap S]\n"
    "--raw RATE:CHANNELS:u8|s16 reads headerless files.\n"
    "Several inputs play one after the other (with --gap seconds of silence between them).\n"
    "Without --wow: 0.3 % at 0.5 Hz and 0.1 % at 1.5 Hz; without --drift: 0.05 % reached at the end.\n"
    "Hum and pilot levels are RMS against the music's RMS. Writes 32-bit float WAV files and the\n"
    "true speed curve (relative playback speed per recording frame) in wowgen's format.\n";

struct Options {
  std::vector<std::string> inputs;
  std::string clean, out, curve;
  double start = 0.0;
  double seconds = 0.0;  // 0: to the end
  double gap = 0.0;
  bool info = false;
  std::vector<std::pair<std::string, std::string>> wowOptions;  // for wowgen's recipe
  bool wowGiven = false;
  bool driftGiven = false;
  Additions additions;
  RawFormat raw;
};

bool number(const std::string& text, double& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

bool parse(const std::vector<std::string>& args, Options& o, std::string& problem) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--info") {
      o.info = true;
      continue;
    }
    if (a.rfind("--", 0) != 0) {
      o.inputs.push_back(a);
      continue;
    }
    if (i + 1 >= args.size()) {
      problem = a + " needs a value";
      return false;
    }
    const std::string& v = args[++i];
    double x = 0.0;
    auto needNumber = [&](double low, double high) {
      if (number(v, x) && x >= low && x <= high) return true;
      problem = a + " " + v + ": needs a number from " + std::to_string(low) + " to " + std::to_string(high);
      return false;
    };
    if (a == "--clean") o.clean = v;
    else if (a == "--out") o.out = v;
    else if (a == "--curve") o.curve = v;
    else if (a == "--start") { if (!needNumber(0.0, 1e6)) return false; o.start = x; }
    else if (a == "--seconds") { if (!needNumber(0.01, 1e5)) return false; o.seconds = x; }
    else if (a == "--gap") { if (!needNumber(0.0, 60.0)) return false; o.gap = x; }
    else if (a == "--raw") {
      // RATE:CHANNELS:u8|s16
      const auto c1 = v.find(':');
      const auto c2 = c1 == std::string::npos ? c1 : v.find(':', c1 + 1);
      double r = 0.0, ch = 0.0;
      if (c2 == std::string::npos || !number(v.substr(0, c1), r) || !number(v.substr(c1 + 1, c2 - c1 - 1), ch) ||
          r < 1000.0 || r > 768000.0 || ch < 1.0 || ch > 8.0 || (v.substr(c2 + 1) != "u8" && v.substr(c2 + 1) != "s16")) {
        problem = "--raw needs RATE:CHANNELS:u8|s16";
        return false;
      }
      o.raw = {static_cast<int>(r), static_cast<int>(ch), v.substr(c2 + 1) == "u8"};
    } else if (a == "--hum") {
      if (!number(v, x) || (x != 50.0 && x != 60.0)) { problem = "--hum needs 50 or 60"; return false; }
      o.additions.humFrequency = x;
    } else if (a == "--hum-db") { if (!needNumber(-120.0, 20.0)) return false; o.additions.humDb = x; }
    else if (a == "--hum-harmonics") {
      if (!needNumber(1.0, 20.0) || x != std::floor(x)) { problem = "--hum-harmonics needs 1 to 20"; return false; }
      o.additions.humHarmonics = static_cast<int>(x);
    } else if (a == "--pilot") { if (!needNumber(1.0, 1e6)) return false; o.additions.pilotFrequency = x; }
    else if (a == "--pilot-db") { if (!needNumber(-120.0, 20.0)) return false; o.additions.pilotDb = x; }
    else if (a == "--wow" || a == "--drift" || a == "--step") {
      o.wowGiven |= a == "--wow";
      o.driftGiven |= a == "--drift";
      o.wowOptions.emplace_back(a.substr(2), v);
    } else {
      problem = "unknown option " + a;
      return false;
    }
  }
  if (o.inputs.empty()) problem = "no input file";
  else if (!o.info && (o.clean.empty() || o.out.empty() || o.curve.empty())) problem = "--clean, --out and --curve are needed";
  return problem.empty();
}

}  // namespace

int runWowapply(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "--help") {
    (args.empty() ? err : out) << kUsage;
    return args.empty() ? 2 : 0;
  }
  Options o;
  std::string problem;
  if (!parse(args, o, problem)) {
    err << "wowapply: " << problem << '\n' << kUsage;
    return 2;
  }
  SourceInfo info;
  if (!probeSources(o.inputs, o.gap, o.raw, info, problem)) {
    err << "wowapply: " << problem << '\n';
    return 1;
  }
  if (o.info) {
    out << info.sampleRate << ' ' << info.channels << ' ' << info.frames << ' '
        << static_cast<double>(info.frames) / info.sampleRate << '\n';
    return 0;
  }
  if (o.additions.pilotFrequency >= info.sampleRate * 0.45) {
    err << "wowapply: a pilot at " << o.additions.pilotFrequency << " Hz does not fit " << info.sampleRate << " Hz\n";
    return 2;
  }
  const auto first = static_cast<std::int64_t>(std::llround(o.start * info.sampleRate));
  const std::int64_t frames =
      o.seconds > 0.0 ? std::llround(o.seconds * info.sampleRate) : info.frames - first;
  if (first + frames > info.frames || frames < 2) {
    err << "wowapply: the recording lasts " << static_cast<double>(info.frames) / info.sampleRate
        << " s: no excerpt of that length from " << o.start << " s\n";
    return 1;
  }

  wowgen::Recipe recipe;
  recipe.sampleRate = info.sampleRate;
  recipe.seconds = static_cast<double>(frames) / info.sampleRate;
  recipe.channels = info.channels;
  if (!o.wowGiven) recipe.wow = {{0.5, 0.003, 0.0}, {1.5, 0.001, 0.0}};
  if (!o.driftGiven) recipe.drift = 0.0005;
  for (const auto& [key, value] : o.wowOptions)
    if (!wowgen::applyOption(key, value, recipe, problem)) {
      err << "wowapply: " << problem << '\n';
      return 2;
    }
  double worst = std::fabs(recipe.drift);
  for (const wowgen::WowSine& s : recipe.wow) worst += std::fabs(s.depth);
  if (worst >= 0.2) {
    err << "wowapply: wow and drift together must stay below 20 %\n";
    return 2;
  }
  const wowgen::SpeedCurve speed = wowgen::speedCurveOf(recipe);
  const auto pad = static_cast<std::int64_t>(std::ceil(largestShift(speed, info.sampleRate, frames))) + 256;

  Excerpt excerpt;
  if (!readExcerpt(o.inputs, o.gap, o.raw, first, frames, pad, excerpt, problem)) {
    err << "wowapply: " << problem << '\n';
    return 1;
  }
  if (excerptRms(excerpt) <= 0.0 && (o.additions.humFrequency > 0.0 || o.additions.pilotFrequency > 0.0)) {
    err << "wowapply: the excerpt is silent: no level to set the hum or pilot by\n";
    return 1;
  }
  std::vector<std::vector<float>> clean;
  clean.reserve(excerpt.channels.size());
  for (const auto& channel : excerpt.channels)
    clean.emplace_back(channel.begin() + pad, channel.begin() + pad + frames);
  if (!wowgen::writeWav(o.clean, info.sampleRate, clean, wowgen::OutputFormat::Float32, problem)) {
    err << "wowapply: " << problem << '\n';
    return 1;
  }
  clean.clear();
  const auto wowed = renderWowed(excerpt, speed, o.additions);
  if (!wowgen::writeWav(o.out, info.sampleRate, wowed, wowgen::OutputFormat::Float32, problem) ||
      !wowgen::writeCurveFile(o.curve, wowgen::curvePoints(recipe), problem)) {
    err << "wowapply: " << problem << '\n';
    return 1;
  }
  out << o.out << ": " << frames << " frames, " << info.channels << " channels, " << info.sampleRate
      << " Hz, music RMS " << excerptRms(excerpt) << "; clean " << o.clean << "; curve " << o.curve << '\n';
  return 0;
}

}  // namespace wowapply
