#include "partials/PartialsEstimator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "partials/FramePeaks.h"
#include "partials/PartialTracks.h"
#include "partials/SpeedSolver.h"

namespace partials {

namespace {

// Posterior spread of the speed (as a fraction) at which a point counts as
// half trusted: 0.01 %.
constexpr double kTrustSpread = 1e-4;

int chooseLength(double sampleRate, int asked) {
  if (asked > 0) {
    int n = 256;
    while (n < asked && n < 65536) n *= 2;
    return n;
  }
  const double target = std::log2(std::max(sampleRate, 2000.0) * 0.0929);
  return std::clamp(1 << static_cast<int>(std::lround(target)), 256, 65536);
}

Options sanitised(Options o, double sampleRate) {
  const double nyquist = sampleRate / 2.0;
  if (!std::isfinite(o.lowHz) || o.lowHz < 0.0) o.lowHz = 0.0;
  if (!std::isfinite(o.highHz) || o.highHz > 0.98 * nyquist) o.highHz = 0.98 * nyquist;
  o.maxPeaksPerFrame = std::clamp(o.maxPeaksPerFrame, 1, 400);
  if (!std::isfinite(o.minTrackSeconds) || o.minTrackSeconds < 0.0) o.minTrackSeconds = 0.0;
  if (!std::isfinite(o.smoothingHz) || o.smoothingHz <= 0.0) o.smoothingHz = 3.0;
  o.smoothingHz = std::clamp(o.smoothingHz, 0.2, 50.0);
  o.passes = std::clamp(o.passes, 1, 20);
  return o;
}

}  // namespace

struct Estimator::State {
  State(double rate, int ch, const Options& o)
      : sampleRate(rate > 0.0 && std::isfinite(rate) ? rate : 44100.0),
        channels(std::max(ch, 1)),
        options(sanitised(o, sampleRate)),
        length(chooseLength(sampleRate, options.fftLength)),
        hop(length / 8),
        peaks(sampleRate, length, hop, options.lowHz, options.highHz),
        tracks(peaks.binHz(), sampleRate / (2.0 * std::numbers::pi * hop),
               static_cast<int>(std::ceil(options.minTrackSeconds * sampleRate / hop))) {
    // The first frame is centred on the first input frame.
    buffer.assign(static_cast<std::size_t>(length / 2), 0.0f);
    buffer.reserve(static_cast<std::size_t>(2 * length));
  }

  void runFrames() {
    std::size_t used = 0;
    while (buffer.size() - used >= static_cast<std::size_t>(length)) {
      peaks.analyse(buffer.data() + used, options.maxPeaksPerFrame, found);
      // A window that reaches past either end of the input sees a tone
      // start or stop there: its readings would pull the ends about.
      const std::int64_t centre = static_cast<std::int64_t>(frame) * hop;
      if (centre < length / 2 || (finishing && centre + length / 2 > fed)) found.clear();
      tracks.add(frame, found);
      ++frame;
      used += static_cast<std::size_t>(hop);
    }
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(used));
  }

  double sampleRate;
  int channels;
  Options options;
  int length;
  int hop;
  FramePeaks peaks;
  PartialTracks tracks;
  std::vector<float> buffer;
  std::vector<Peak> found;
  std::int32_t frame = 0;
  std::int64_t fed = 0;
  bool finishing = false;
  bool finished = false;
};

Estimator::Estimator(double sampleRate, int channels, const Options& options)
    : state_(std::make_unique<State>(sampleRate, channels, options)) {}

Estimator::~Estimator() = default;

std::int64_t Estimator::framesFed() const { return state_->fed; }

void Estimator::feed(const float* interleaved, std::size_t frames) {
  State& s = *state_;
  if (s.finished || !interleaved) return;
  const float scale = 1.0f / static_cast<float>(s.channels);
  // A block at a time, so that the buffer stays small whatever is fed.
  const std::size_t block = static_cast<std::size_t>(s.length);
  for (std::size_t done = 0; done < frames;) {
    const std::size_t n = std::min(block, frames - done);
    for (std::size_t i = 0; i < n; ++i) {
      const float* frame = interleaved + (done + i) * static_cast<std::size_t>(s.channels);
      float sum = 0.0f;
      for (int c = 0; c < s.channels; ++c) sum += std::isfinite(frame[c]) ? frame[c] : 0.0f;
      s.buffer.push_back(sum * scale);
    }
    done += n;
    s.runFrames();
  }
  s.fed += static_cast<std::int64_t>(frames);
}

Result Estimator::finish() {
  State& s = *state_;
  Result result;
  if (s.finished) return result;
  s.finished = true;
  s.finishing = true;
  // Frames until one is centred a hop past the last input frame.
  const std::int64_t lastCentre = s.fed - 1 + s.hop;
  while (static_cast<std::int64_t>(s.frame) * s.hop <= lastCentre) {
    s.buffer.resize(s.buffer.size() + static_cast<std::size_t>(s.hop), 0.0f);
    s.runFrames();
  }
  s.tracks.close();
  SolverSettings settings;
  settings.framesPerSecond = s.sampleRate / s.hop;
  settings.smoothingHz = s.options.smoothingHz;
  settings.linkRecurring = s.options.linkRecurring;
  settings.passes = s.options.passes;
  const std::size_t frames = static_cast<std::size_t>(s.frame);
  const Solution solution = solveSpeed(s.tracks.tracks(), s.tracks.observations(), frames, settings);
  result.tracks = solution.tracks;
  result.units = solution.units;
  if (s.fed <= 0 || frames == 0) return result;

  // Confidence: the data's weight over about one smoothing length.
  const int half = std::max(1, static_cast<int>(settings.framesPerSecond / (2.0 * settings.smoothingHz)));
  std::vector<double> windowWeight(frames, 0.0);
  {
    double running = 0.0;
    std::vector<double> prefix(frames + 1, 0.0);
    for (std::size_t t = 0; t < frames; ++t) prefix[t + 1] = (running += solution.weight[t]);
    for (std::size_t t = 0; t < frames; ++t) {
      const std::size_t a = t > static_cast<std::size_t>(half) ? t - half : 0;
      const std::size_t b = std::min(frames, t + half + 1);
      windowWeight[t] = prefix[b] - prefix[a];
    }
  }
  // Frame t's reading lies between the centres of frames t - 1 and t.
  auto at = [&](const std::vector<double>& v, double position) {
    const double x = std::clamp(position / s.hop + 0.5, 0.0, static_cast<double>(frames - 1));
    const auto i = static_cast<std::size_t>(x);
    const double f = x - static_cast<double>(i);
    return i + 1 < frames ? v[i] + f * (v[i + 1] - v[i]) : v[i];
  };
  std::vector<std::int64_t> positions;
  for (std::int64_t p = 0; p < s.fed; p += kCurveStep) positions.push_back(p);
  if (positions.back() != s.fed - 1) positions.push_back(s.fed - 1);
  std::vector<double> logs;
  std::vector<double> trusted;
  result.curve.reserve(positions.size());
  for (std::int64_t p : positions) {
    const double weight = at(windowWeight, static_cast<double>(p));
    const double spread2 = weight > 0.0 ? 1.0 / weight : 1e30;
    const double confidence = 1.0 / (1.0 + spread2 / (kTrustSpread * kTrustSpread));
    const double value = at(solution.logSpeed, static_cast<double>(p));
    logs.push_back(value);
    if (confidence >= kTrustedConfidence) trusted.push_back(value);
    result.curve.push_back({p, 1.0, confidence});
  }
  std::vector<double>& basis = trusted.empty() ? logs : trusted;
  auto middle = basis.begin() + static_cast<std::ptrdiff_t>(basis.size() / 2);
  std::nth_element(basis.begin(), middle, basis.end());
  const double median = *middle;
  for (std::size_t i = 0; i < result.curve.size(); ++i) result.curve[i].ratio = std::exp(logs[i] - median);
  result.trustedShare = static_cast<double>(trusted.size()) / static_cast<double>(result.curve.size());
  result.wow = wowFigures(result.curve);
  return result;
}

}  // namespace partials
