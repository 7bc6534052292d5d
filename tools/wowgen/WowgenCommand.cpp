#include "tools/wowgen/WowgenCommand.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <ostream>

#include "tools/wowgen/WowSynth.h"

namespace wowgen {

namespace {

constexpr const char* kUsage =
    "usage: wowgen OUT.wav [--recipe FILE] [--tone F:A[:PHASE]]... [--pilot F:A[:PHASE]]...\n"
    "              [--hum F:A[:HARMONICS]]... [--noise RMS] [--wow RATE:PERCENT[:PHASE]]...\n"
    "              [--drift PERCENT] [--rate HZ] [--channels N] [--seconds S] [--seed N]\n"
    "              [--step FRAMES] [--format float|pcm16|pcm24] [--curve OUT.pvc]\n"
    "Writes the recording and its true speed curve (relative playback speed per frame).\n";

int subtype(OutputFormat format) {
  switch (format) {
    case OutputFormat::Pcm16: return SF_FORMAT_PCM_16;
    case OutputFormat::Pcm24: return SF_FORMAT_PCM_24;
    case OutputFormat::Float32: break;
  }
  return SF_FORMAT_FLOAT;
}

bool writeRecording(const Recipe& recipe, const std::vector<std::vector<float>>& channels, std::string& problem) {
  SF_INFO info{};
  info.samplerate = static_cast<int>(recipe.sampleRate);
  info.channels = recipe.channels;
  info.format = SF_FORMAT_WAV | subtype(recipe.format);
  SNDFILE* file = sf_open(recipe.output.c_str(), SFM_WRITE, &info);
  if (!file) {
    problem = "cannot create " + recipe.output + ": " + sf_strerror(nullptr);
    return false;
  }
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  const std::size_t frames = channels.front().size();
  std::vector<float> block;
  bool ok = true;
  for (std::size_t done = 0; done < frames && ok;) {
    const std::size_t n = std::min<std::size_t>(8192, frames - done);
    block.resize(n * channels.size());
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t c = 0; c < channels.size(); ++c) block[i * channels.size() + c] = channels[c][done + i];
    ok = sf_writef_float(file, block.data(), static_cast<sf_count_t>(n)) == static_cast<sf_count_t>(n);
    done += n;
  }
  if (sf_close(file) != 0) ok = false;
  if (!ok) problem = "cannot write " + recipe.output;
  return ok;
}

}  // namespace

int runWowgen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "--help") {
    (args.empty() ? err : out) << kUsage;
    return args.empty() ? 2 : 0;
  }
  Recipe recipe;
  std::string problem;
  if (!parseRecipe(args, recipe, problem)) {
    err << "wowgen: " << problem << '\n' << kUsage;
    return 2;
  }
  const auto channels = renderRecording(recipe);
  float peak = 0.0f;
  for (const auto& channel : channels)
    for (float v : channel) peak = std::max(peak, std::fabs(v));
  if (peak > 1.0f && recipe.format != OutputFormat::Float32)
    err << "wowgen: warning: the peak level " << peak << " clips in PCM\n";
  if (!writeRecording(recipe, channels, problem) || !writeCurveFile(recipe.curveFile, curvePoints(recipe), problem)) {
    err << "wowgen: " << problem << '\n';
    return 1;
  }
  // A correction with the true curve plays the content at constant speed:
  // one output frame per frame of content time, up to the last input frame.
  const double lastFrame = static_cast<double>(recipe.frames() - 1);
  const double corrected = std::floor(speedCurveOf(recipe).contentTime(lastFrame / recipe.sampleRate) * recipe.sampleRate) + 1;
  out << recipe.output << ": " << recipe.frames() << " frames, " << recipe.channels << " channels, "
      << recipe.sampleRate << " Hz; curve " << recipe.curveFile << "; corrected length about "
      << static_cast<long long>(corrected) << " frames\n";
  return 0;
}

}  // namespace wowgen
