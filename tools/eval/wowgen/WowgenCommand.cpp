#include "tools/eval/wowgen/WowgenCommand.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include "tools/eval/wowgen/WavWrite.h"
#include "tools/eval/wowgen/WowSynth.h"

namespace wowgen {

namespace {

constexpr const char* kUsage =
    "usage: wowgen OUT.wav [--recipe FILE] [--tone F:A[:PHASE]]... [--pilot F:A[:PHASE]]...\n"
    "              [--hum F:A[:HARMONICS]]... [--noise RMS] [--wow RATE:PERCENT[:PHASE]]...\n"
    "              [--drift PERCENT] [--rate HZ] [--channels N] [--seconds S] [--seed N]\n"
    "              [--step FRAMES] [--format float|pcm16|pcm24] [--curve OUT.pvc]\n"
    "Writes the recording and its true speed curve (relative playback speed per frame).\n";

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
  if (!writeWav(recipe.output, recipe.sampleRate, channels, recipe.format, problem) || !writeCurveFile(recipe.curveFile, curvePoints(recipe), problem)) {
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
