// Measures the hum engine against the true speed curve of synthetic
// recordings, as the plug-in uses it: 8192-frame blocks, every 256th output
// taken as a point at its input position minus the engine's delay.
//   hum-eval [--mains 50|60] [--seconds S] [--rate R] [--hum-db D] [--noise-db D]
//            [--pink-db D] [--lowest-note HZ] [--attack S] [--no-programme] [--seed N] [--wow-shift S]
//            [--set INDEX VALUE]... [--real-wow]
//   hum-eval --music FILE [--offset S] [--seconds S] [--hum-db D] [--mains 50|60] [--real-wow] [--stereo]
// --music (native builds) plays an excerpt of a real recording along the wow
// and adds hum (harmonics 1, 0.5, 0.35) following it, hum-db below the
// excerpt's RMS; the engine gets the mean of the channels, as the plug-in
// feeds it, or with --stereo the channels themselves.
//   hum-eval --recording FILE --truth CURVE.pvc [--mains 50|60]
// --recording (native builds) feeds a file that already holds its wow and hum
// as it is (the mean of its channels), against the true curve of a PVC text
// file (lines "position ratio").
// --real-wow: 0.3 % at 0.5 Hz, 0.1 % at 1.5 Hz and a 0.05 % drift at 0.07 Hz
// (0.22 % RMS), the wow of our real-recording trials.
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
#include "signals/SyntheticRecording.h"
#ifdef HUM_EVAL_MUSIC
#include "tools/eval/hum-eval/MusicRecording.h"
#endif

int main(int argc, char** argv) {
  synth::Recipe recipe;
  std::vector<std::pair<int, float>> overrides;  // --set INDEX VALUE: a normalised engine parameter
  recipe.seconds = 60.0;
  std::string musicPath, recordingPath, truthPath;
  double offset = 0.0;
  bool stereo = false;
  [[maybe_unused]] bool secondsGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&] { return i + 1 < argc ? std::atof(argv[++i]) : 0.0; };
    if (a == "--mains") recipe.mains = next();
    else if (a == "--seconds") { recipe.seconds = next(); secondsGiven = true; }
    else if (a == "--music" && i + 1 < argc) musicPath = argv[++i];
    else if (a == "--offset") offset = next();
    else if (a == "--recording" && i + 1 < argc) recordingPath = argv[++i];
    else if (a == "--truth" && i + 1 < argc) truthPath = argv[++i];
    else if (a == "--stereo") stereo = true;
    else if (a == "--real-wow") recipe.wow = synth::WowCurve{{{0.003, 0.5, 0.4}, {0.001, 1.5, 2.1}, {0.0005, 0.07, 1.0}}};
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
  int channels = 1;
  std::vector<float> audio;
  std::vector<std::pair<double, double>> truth;  // position, ratio
  if (!recordingPath.empty()) {
#ifdef HUM_EVAL_MUSIC
    std::string error;
    audio = music::readRecording(recordingPath, &recipe.rate, &channels, &error);
    truth = music::readCurve(truthPath);
    if (audio.empty() || truth.size() < 2) {
      std::fprintf(stderr, "hum-eval: %s\n", audio.empty() ? error.c_str() : "no true curve");
      return 1;
    }
    musicPath = recordingPath;
    recipe.seconds = static_cast<double>(audio.size() / channels) / recipe.rate;
#else
    std::fprintf(stderr, "hum-eval: --recording needs a native build with libsndfile\n");
    return 2;
#endif
  } else if (musicPath.empty()) {
    audio = synth::makeRecording(recipe);
  } else {
#ifdef HUM_EVAL_MUSIC
    music::Take take;
    take.path = musicPath;
    take.offset = offset;
    take.seconds = secondsGiven ? recipe.seconds : 30.0;
    take.humDb = recipe.humDb;
    std::string error;
    audio = music::makeTake(take, recipe.wow, recipe.mains, &recipe.rate, &channels, &error);
    if (audio.empty()) {
      std::fprintf(stderr, "hum-eval: %s: %s\n", musicPath.c_str(), error.c_str());
      return 1;
    }
    recipe.seconds = static_cast<double>(audio.size() / channels) / recipe.rate;
#else
    std::fprintf(stderr, "hum-eval: --music needs a native build with libsndfile\n");
    return 2;
#endif
  }
  // The plug-in feeds the engine the mean of the channels.
  if (channels > 1 && !stereo) {
    std::vector<float> mean(audio.size() / channels);
    for (std::size_t i = 0; i < mean.size(); ++i) {
      double s = 0.0;
      for (int c = 0; c < channels; ++c) s += audio[i * channels + c];
      mean[i] = static_cast<float>(s / channels);
    }
    audio = std::move(mean);
    channels = 1;
  }
  const std::size_t frames = audio.size() / channels;
  // The true speed at a frame: the recipe's wow, or the true curve's line.
  std::size_t segment = 0;
  auto trueSpeed = [&](long pos) {
    if (truth.empty()) return recipe.wow.speed(pos / recipe.rate);
    if (pos <= truth.front().first) return truth.front().second;
    while (segment + 1 < truth.size() && truth[segment + 1].first < pos) ++segment;
    while (segment > 0 && truth[segment].first > pos) --segment;
    if (segment + 1 >= truth.size()) return truth.back().second;
    auto [x0, y0] = truth[segment];
    auto [x1, y1] = truth[segment + 1];
    return y0 + (y1 - y0) * (pos - x0) / (x1 - x0);
  };

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
  std::vector<std::vector<float>> split(channels, std::vector<float>(block));
  std::vector<double> errors, trues;
  double sumAll = 0, sumInner = 0, worst = 0, sumFirst = 0, worstFirst = 0;
  long countAll = 0, countInner = 0, countFirst = 0;
  double edge = recipe.rate;  // one second at each end
  auto t0 = std::chrono::steady_clock::now();
  // Silence after the end flushes the stream, as the plug-in does.
  for (std::size_t start = 0; start < frames + delay + block; start += block) {
    std::vector<float*> in(channels);
    for (int c = 0; c < channels; ++c) {
      for (int j = 0; j < block; ++j) split[c][j] = start + j < frames ? audio[(start + j) * channels + c] : 0.0f;
      in[c] = split[c].data();
    }
    float* o[] = {out.data()};
    if (!plugin_processPVC(h, block, channels, in.data(), o)) continue;
    for (int j = 0; j < block; j += 256) {
      long pos = static_cast<long>(start) + j - delay;
      if (pos <= 0) continue;
      if (pos >= static_cast<long>(frames)) break;
      double err = (out[j] - trueSpeed(pos)) * 100.0;
      if (std::getenv("HUM_EVAL_DUMP")) std::printf("%ld %.6f %.6f\n", pos, out[j], trueSpeed(pos));
      sumAll += err * err;
      ++countAll;
      errors.push_back(err);
      trues.push_back(trueSpeed(pos));
      if (pos < edge) {
        sumFirst += err * err;
        ++countFirst;
        worstFirst = std::max(worstFirst, std::fabs(err));
      }
      if (pos >= edge && pos + edge <= static_cast<double>(frames)) {
        sumInner += err * err;
        ++countInner;
        worst = std::max(worst, std::fabs(err));
      }
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  float verdict = plugin_getParamValueDisp(h, kHumVerdictIndex);
  float share = plugin_getParamValueDisp(h, kHumFollowedShareIndex);
  plugin_destroy(h);
  double mean = 0.0, centred = 0.0, wowSum = 0.0;
  for (double e : errors) mean += e;
  mean = errors.empty() ? 0.0 : mean / errors.size();
  for (double e : errors) centred += (e - mean) * (e - mean);
  // The wow itself over the same points, its mean removed: what no
  // correction would leave.
  double trueMean = 0.0;
  for (double v : trues) trueMean += v;
  trueMean = trues.empty() ? 0.0 : trueMean / trues.size();
  for (double v : trues) wowSum += (v - trueMean) * (v - trueMean) * 1e4;

  std::printf("recipe: %.0f Hz mains, %.0f Hz rate, %.0f s, hum %.1f dB re programme, white noise %.1f dB, "
              "pink noise %.1f dB, programme %s (notes from %.0f Hz, %.0f ms onsets)\n",
              recipe.mains, recipe.rate, recipe.seconds, recipe.humDb, recipe.noiseDb, recipe.pinkDb,
              recipe.programme ? "on" : "off", recipe.lowestNote, recipe.attack * 1000.0);
  if (!musicPath.empty())
    std::printf("music: %s from %.1f s, %d channel(s) fed, wow %.3f %% RMS (mean removed)\n", musicPath.c_str(), offset, channels,
                errors.empty() ? 0.0 : std::sqrt(wowSum / errors.size()));
  std::printf("delay: %d frames (%.3f s)\n", delay, delay / recipe.rate);
  std::printf("points: %ld, RMS error %.5f %%\n", countAll, countAll ? std::sqrt(sumAll / countAll) : 0.0);
  std::printf("points 1 s from either end: %ld, RMS error %.5f %%, peak %.5f %%\n", countInner,
              countInner ? std::sqrt(sumInner / countInner) : 0.0, worst);
  std::printf("points in the first second: %ld, RMS error %.5f %%, peak %.5f %%\n", countFirst,
              countFirst ? std::sqrt(sumFirst / countFirst) : 0.0, worstFirst);
  std::printf("mean removed: RMS error %.5f %% (mean %.5f %%)\n", errors.empty() ? 0.0 : std::sqrt(centred / errors.size()), mean);
  std::printf("engine's verdict: %s, hum followed over %.0f %% of the stream\n",
              verdict == kHumFollowed ? "followed" : verdict == kHumNotFollowed ? "not followed" : "no word", share);
  std::printf("throughput: %.1f x real time\n", recipe.seconds / seconds);
  return 0;
}
