// Measures the hum engine against the true speed curve of synthetic
// recordings, as the plug-in uses it: 8192-frame blocks, every 256th output
// taken as a point at its input position minus the engine's delay.
//   hum-eval [--mains 50|60] [--seconds S] [--rate R] [--hum-db D] [--noise-db D]
//            [--pink-db D] [--lowest-note HZ] [--attack S] [--no-programme] [--seed N] [--wow-shift S]
//            [--set INDEX VALUE]...
// --wow-shift starts the recording S seconds later on the same wow curve, so
// the start of the file meets the wow at another phase.
// With HUM_EVAL_DUMP set it also prints every point: position, measured, true.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "detect/ProcessingLibrary.h"
#include "platform/Platform.h"
#include "tests/engines/SyntheticRecording.h"

int main(int argc, char** argv) {
  synth::Recipe recipe;
  std::vector<std::pair<int, float>> overrides;  // --set INDEX VALUE: a normalised engine parameter
  recipe.seconds = 60.0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&] { return i + 1 < argc ? std::atof(argv[++i]) : 0.0; };
    if (a == "--mains") recipe.mains = next();
    else if (a == "--seconds") recipe.seconds = next();
    else if (a == "--rate") recipe.rate = next();
    else if (a == "--hum-db") recipe.humDb = next();
    else if (a == "--noise-db") recipe.noiseDb = next();
    else if (a == "--pink-db") recipe.pinkDb = next();
    else if (a == "--lowest-note") recipe.lowestNote = next();
    else if (a == "--attack") recipe.attack = next();
    else if (a == "--no-programme") recipe.programme = false;
    else if (a == "--seed") recipe.seed = static_cast<std::uint32_t>(next());
    else if (a == "--wow-shift") {
      double shift = next();
      for (auto& part : recipe.wow.parts) part.phase += 2.0 * std::numbers::pi * part.hz * shift;
    }
    else if (a == "--set" && i + 2 < argc) {
      int index = std::atoi(argv[++i]);
      overrides.push_back({index, static_cast<float>(std::atof(argv[++i]))});
    }
    else {
      std::fprintf(stderr, "hum-eval: unknown option %s\n", a.c_str());
      return 2;
    }
  }

  platform::Module sorvanite(kSorvaniteModule);
  auto create = reinterpret_cast<CreatePluginFunction>(sorvanite.find(kCreatePluginName));
  if (!create) {
    std::fprintf(stderr, "hum-eval: Sorvanite not found\n");
    return 1;
  }
  std::vector<float> audio = synth::makeRecording(recipe);

  PluginHandle h = create(static_cast<float>(recipe.rate));
  plugin_setParamValue(h, 2, 0.75f);
  if (recipe.mains == 60.0) {
    plugin_setParamValue(h, 3, 0.27f);
    plugin_setParamValue(h, 4, 0.33f);
    plugin_setParamValue(h, 10, 0.334f);
  } else {
    plugin_setParamValue(h, 3, 0.225f);
    plugin_setParamValue(h, 4, 0.275f);
    plugin_setParamValue(h, 10, 0.257f);
  }
  for (auto [index, value] : overrides) plugin_setParamValue(h, index, value);
  int delay = plugin_getDelay(h);

  const int block = 8192;
  std::vector<float> out(block);
  double sumAll = 0, sumInner = 0, worst = 0, sumFirst = 0, worstFirst = 0;
  long countAll = 0, countInner = 0, countFirst = 0;
  double edge = recipe.rate;  // one second at each end
  auto t0 = std::chrono::steady_clock::now();
  for (std::size_t start = 0; start + block <= audio.size(); start += block) {
    float* in[] = {audio.data() + start};
    float* o[] = {out.data()};
    if (!plugin_processPVC(h, block, 1, in, o)) continue;
    for (int j = 0; j < block; j += 256) {
      long pos = static_cast<long>(start) + j - delay;
      if (pos <= 0) continue;
      double err = (out[j] - recipe.wow.speed(pos / recipe.rate)) * 100.0;
      if (std::getenv("HUM_EVAL_DUMP")) std::printf("%ld %.6f %.6f\n", pos, out[j], recipe.wow.speed(pos / recipe.rate));
      sumAll += err * err;
      ++countAll;
      if (pos < edge) {
        sumFirst += err * err;
        ++countFirst;
        worstFirst = std::max(worstFirst, std::fabs(err));
      }
      if (pos >= edge && pos + edge <= static_cast<double>(audio.size())) {
        sumInner += err * err;
        ++countInner;
        worst = std::max(worst, std::fabs(err));
      }
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  plugin_destroy(h);

  std::printf("recipe: %.0f Hz mains, %.0f Hz rate, %.0f s, hum %.1f dB re programme, white noise %.1f dB, "
              "pink noise %.1f dB, programme %s (notes from %.0f Hz, %.0f ms onsets)\n",
              recipe.mains, recipe.rate, recipe.seconds, recipe.humDb, recipe.noiseDb, recipe.pinkDb,
              recipe.programme ? "on" : "off", recipe.lowestNote, recipe.attack * 1000.0);
  std::printf("delay: %d frames (%.3f s)\n", delay, delay / recipe.rate);
  std::printf("points: %ld, RMS error %.5f %%\n", countAll, countAll ? std::sqrt(sumAll / countAll) : 0.0);
  std::printf("points 1 s from either end: %ld, RMS error %.5f %%, peak %.5f %%\n", countInner,
              countInner ? std::sqrt(sumInner / countInner) : 0.0, worst);
  std::printf("points in the first second: %ld, RMS error %.5f %%, peak %.5f %%\n", countFirst,
              countFirst ? std::sqrt(sumFirst / countFirst) : 0.0, worstFirst);
  std::printf("throughput: %.1f x real time\n", recipe.seconds / seconds);
  return 0;
}
