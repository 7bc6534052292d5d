// partials-eval IN.wav [--band LO:HI] [--range A:B] [--curve-out C.pvc] [--true T.pvc] [--edge S]
//                      [--no-link] [--smooth HZ] [--passes N] [--fft N] [--peaks N] [--min-track S]
// Runs the partials estimator over a recording (or the range A:B seconds of
// it), prints its time (wall clock and processor) and speed against real
// time and the curve's wow,
// writes the curve (positions in the file's frames), and against a true
// curve prints the error, raw and with the mean removed, edge seconds left
// out at either end of the range (default 1).
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "curve/CurveText.h"
#include "partials/PartialsEstimator.h"
#include "tools/eval/curvecompare/CurveCompare.h"

namespace {

constexpr const char* kUsage =
    "usage: partials-eval IN.wav [--band LO:HI] [--range A:B] [--curve-out C.pvc] [--true T.pvc]\n"
    "                     [--edge SECONDS] [--no-link] [--smooth HZ] [--passes N] [--fft N]\n"
    "                     [--peaks N] [--min-track SECONDS]\n";

bool parsePair(const std::string& text, double& a, double& b) {
  const auto colon = text.find(':');
  if (colon == std::string::npos) return false;
  char* end = nullptr;
  a = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + colon) return false;
  b = std::strtod(text.c_str() + colon + 1, &end);
  return *end == '\0' && std::isfinite(a) && std::isfinite(b) && a >= 0.0 && b > a;
}

bool writeCurve(const std::string& path, const std::vector<partials::CurvePoint>& curve) {
  std::string text;
  for (const auto& p : curve) appendCurveLine(text, static_cast<std::int32_t>(p.position), static_cast<float>(p.ratio));
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  std::string input, curveOut, truePath;
  partials::Options options;
  double rangeA = 0.0, rangeB = -1.0, edge = 1.0;
  bool bad = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--band" && hasValue) {
      bad |= !parsePair(argv[++i], options.lowHz, options.highHz);
    } else if (a == "--range" && hasValue) {
      bad |= !parsePair(argv[++i], rangeA, rangeB);
    } else if (a == "--curve-out" && hasValue) {
      curveOut = argv[++i];
    } else if (a == "--true" && hasValue) {
      truePath = argv[++i];
    } else if (a == "--edge" && hasValue) {
      edge = std::strtod(argv[++i], nullptr);
    } else if (a == "--smooth" && hasValue) {
      options.smoothingHz = std::strtod(argv[++i], nullptr);
    } else if (a == "--passes" && hasValue) {
      options.passes = std::atoi(argv[++i]);
    } else if (a == "--peaks" && hasValue) {
      options.maxPeaksPerFrame = std::atoi(argv[++i]);
    } else if (a == "--min-track" && hasValue) {
      options.minTrackSeconds = std::strtod(argv[++i], nullptr);
    } else if (a == "--fft" && hasValue) {
      options.fftLength = std::atoi(argv[++i]);
    } else if (a == "--no-link") {
      options.linkRecurring = false;
    } else if (input.empty() && a[0] != '-') {
      input = a;
    } else {
      bad = true;
    }
  }
  if (bad || input.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  SF_INFO info{};
  SNDFILE* file = sf_open(input.c_str(), SFM_READ, &info);
  if (!file) {
    std::fprintf(stderr, "partials-eval: cannot read %s: %s\n", input.c_str(), sf_strerror(nullptr));
    return 1;
  }
  const double rate = info.samplerate;
  const auto first = static_cast<sf_count_t>(rangeA * rate);
  const sf_count_t last = rangeB > 0.0 ? std::min<sf_count_t>(info.frames, static_cast<sf_count_t>(rangeB * rate))
                                       : info.frames;
  if (first >= last || sf_seek(file, first, SEEK_SET) < 0) {
    std::fprintf(stderr, "partials-eval: the range lies outside the file\n");
    sf_close(file);
    return 1;
  }
  // Reading is timed apart from the estimate.
  const auto t0 = std::chrono::steady_clock::now();
  const std::clock_t c0 = std::clock();
  partials::Estimator estimator(rate, info.channels, options);
  std::vector<float> block(static_cast<std::size_t>(8192 * info.channels));
  double reading = 0.0;
  for (sf_count_t done = first; done < last;) {
    const auto r0 = std::chrono::steady_clock::now();
    const sf_count_t want = std::min<sf_count_t>(8192, last - done);
    const sf_count_t got = sf_readf_float(file, block.data(), want);
    reading += std::chrono::duration<double>(std::chrono::steady_clock::now() - r0).count();
    if (got <= 0) break;
    estimator.feed(block.data(), static_cast<std::size_t>(got));
    done += got;
  }
  sf_close(file);
  const auto t1 = std::chrono::steady_clock::now();
  partials::Result result = estimator.finish();
  const auto t2 = std::chrono::steady_clock::now();
  const double elapsed = std::chrono::duration<double>(t2 - t0).count() - reading;
  const double solving = std::chrono::duration<double>(t2 - t1).count();
  // Processor time too: on a machine shared with other work the wall clock
  // says more about the others than about the estimator.
  const double cpu = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
  const double seconds = static_cast<double>(estimator.framesFed()) / rate;
  for (auto& p : result.curve) p.position += first;
  std::printf("%s: %.1f s, %d channels, %.0f Hz: estimate %.3f s (%.3f s of it solving), %.1f x real time; "
              "processor %.3f s with reading, %.1f x real time\n",
              input.c_str(), seconds, info.channels, rate, elapsed, solving, seconds / std::max(elapsed, 1e-9), cpu,
              seconds / std::max(cpu, 1e-9));
  std::printf("tracks %zu, units %zu, trusted %.1f %% of points; wow RMS %.4f %%, peak %.4f %%\n", result.tracks,
              result.units, result.trustedShare * 100.0, result.wow.rmsPercent, result.wow.peakPercent);
  if (!curveOut.empty() && !writeCurve(curveOut, result.curve)) {
    std::fprintf(stderr, "partials-eval: cannot write %s\n", curveOut.c_str());
    return 1;
  }
  if (!truePath.empty()) {
    std::vector<PvcPoint> truth, found;
    std::string problem;
    if (!curvecompare::readCurve(truePath, truth, problem)) {
      std::fprintf(stderr, "partials-eval: %s\n", problem.c_str());
      return 1;
    }
    for (const auto& p : result.curve)
      found.push_back({static_cast<std::int32_t>(p.position), static_cast<float>(p.ratio), 0, 0});
    const auto margin = static_cast<std::int64_t>(edge * rate);
    const std::int64_t from = first + margin;
    const std::int64_t to = last - 1 - margin;
    if (to <= from) {
      std::fprintf(stderr, "partials-eval: the range is shorter than its two edges\n");
      return 1;
    }
    const auto raw = curvecompare::compare(found, truth, from, to, 64);
    const auto centred =
        curvecompare::compare(curvecompare::dividedBy(found, 1.0 + raw.meanPercent / 100.0), truth, from, to, 64);
    const auto trueWow = curvecompare::compare(
        std::vector<PvcPoint>{{0, static_cast<float>(curvecompare::medianRatio(truth, from, to, 64)), 0, 0}}, truth,
        from, to, 64);
    // The same over the trusted points alone: what a caller that heeds the
    // confidence would get.
    double sum = 0.0, squares = 0.0;
    std::size_t count = 0;
    for (const auto& p : result.curve) {
      if (p.confidence < partials::kTrustedConfidence || p.position < from || p.position > to) continue;
      const double d = (p.ratio / curvecompare::ratioAt(truth, static_cast<double>(p.position)) - 1.0) * 100.0;
      sum += d;
      squares += d * d;
      ++count;
    }
    const double trustedMean = count ? sum / static_cast<double>(count) : 0.0;
    const double trustedRms =
        count ? std::sqrt(std::max(0.0, squares / static_cast<double>(count) - trustedMean * trustedMean)) : 0.0;
    std::printf("true wow RMS %.4f %% (mean removed); curve error raw RMS %.4f %%, peak %.4f %%; "
                "mean removed RMS %.4f %%, peak %.4f %% (mean %+.4f %%); trusted points only: mean removed RMS %.4f %%\n",
                trueWow.rmsAboutMean, raw.rmsPercent, raw.peakPercent, raw.rmsAboutMean, centred.peakPercent,
                raw.meanPercent, trustedRms);
  }
  return 0;
}
