#include "engines/HumTracker.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engines/FilterDesign.h"

namespace humengine {
namespace {

// The speed filter passes the wow band flat up to this frequency.
constexpr double kWowBandHz = 3.0;
constexpr double kSpeedAttenuationDb = 60.0;
constexpr double kHarmonicAttenuationDb = 70.0;
// Input samples are kept to this size, so squares stay finite in float.
constexpr float kInputLimit = 1e6f;
// How far, in standard deviations, a harmonic may stray from the others.
constexpr double kAgreementSigmas = 4.0;
// Speeds this close always agree: the noise estimates are rough, and a
// clean recording would otherwise make its harmonics disagree over nothing.
constexpr double kAgreementFloor = 5e-5;

int decimationFactor(double sampleRate, const HumSettings& s) {
  double wanted = std::max(s.reducedRate, 4.0 * s.bandHigh);
  return std::max(1, static_cast<int>(std::floor(sampleRate / wanted)));
}

std::vector<float> speedTaps(int length, double rate) {
  double transition = kaiserTransition(length, kSpeedAttenuationDb) * rate;
  double cutoff = std::min(kWowBandHz + transition / 2.0, 0.45 * rate);
  return lowpassTaps(length, cutoff / rate, kaiserBeta(kSpeedAttenuationDb));
}

// Integral of |P(f)|^2 f^2 over all frequencies, P = S (1 - S) the
// response of the noise probe; it converts the probe's variance into the
// noise density around a harmonic.
double probeMoment(const std::vector<float>& taps, double rate) {
  int n = static_cast<int>(taps.size());
  double middle = (n - 1) / 2.0;
  double top = std::min(0.5 * rate, 8.0 * (kWowBandHz + kaiserTransition(n, kSpeedAttenuationDb) * rate));
  const int steps = 2000;
  double df = top / steps, sum = 0.0;
  for (int j = 0; j < steps; ++j) {
    double f = (j + 0.5) * df;
    double w = 2.0 * std::numbers::pi * f / rate, s = 0.0;
    for (int i = 0; i < n; ++i) s += taps[i] * std::cos(w * (i - middle));
    double p = s * (1.0 - s);
    sum += p * p * f * f * df;
  }
  return 2.0 * sum;  // both sides of 0 Hz
}

float clean(float x) {
  if (!std::isfinite(x)) return 0.0f;
  if (std::fabs(x) < 1e-30f) return 0.0f;  // keep denormals out of the filters
  return std::clamp(x, -kInputLimit, kInputLimit);
}

// A programme note or a click in one harmonic's band bends that harmonic
// alone, for a moment too short for its noise estimate to notice, and its
// power, and with it its weight, may even grow. So the harmonics vote: the
// estimate that the most others agree with (within their two noises) wins,
// ties going to the heavier, and only those that agree with it are
// averaged. When no two agree, the one nearest the previous speed is taken:
// speed changes slowly, and holding the last value instead would lag the wow.
template <typename Estimate>
double combine(const Estimate* e, std::size_t n, double previous) {
  auto agree = [&](std::size_t i, std::size_t j) {
    double d = e[i].speed - e[j].speed;
    return d * d <= kAgreementSigmas * kAgreementSigmas * (e[i].variance + e[j].variance) + kAgreementFloor * kAgreementFloor;
  };
  std::size_t best = 0, bestVotes = 0;
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t votes = 0;
    for (std::size_t j = 0; j < n; ++j) votes += agree(i, j) ? 1 : 0;
    if (votes > bestVotes || (votes == bestVotes && e[i].weight > e[best].weight)) {
      best = i;
      bestVotes = votes;
    }
  }
  if (bestVotes < 2) {
    for (std::size_t i = 0; i < n; ++i)
      if (std::fabs(e[i].speed - previous) < std::fabs(e[best].speed - previous)) best = i;
    return e[best].speed;
  }
  double sum = 0.0, kept = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!agree(i, best)) continue;
    sum += e[i].weight * e[i].speed;
    kept += e[i].weight;
  }
  return sum / kept;
}

}  // namespace

HumTracker::HumTracker(double sampleRate, const HumSettings& s)
    : rate_(sampleRate / decimationFactor(sampleRate, s)),
      minSnr_(s.minSnr),
      lowest_(static_cast<float>(s.bandLow / s.mains)),
      highest_(static_cast<float>(s.bandHigh / s.mains)),
      decimator_(decimationFactor(sampleRate, s), s.resamplerOrder),
      joint_(rate_, s, 0.5 * rate_ - kaiserTransition(2 * s.resamplerOrder + 1, 80.0) * rate_),
      waiting_(1) {
  recent_.fill(1.0f);
  std::vector<float> smooth = speedTaps(s.speedFilter, rate_);
  double moment = probeMoment(smooth, rate_);

  double centre = (s.bandLow + s.bandHigh) / 2.0;
  double half = (s.bandHigh - s.bandLow) / 2.0;
  double transition = kaiserTransition(s.harmonicFilter, kHarmonicAttenuationDb) * rate_;
  // Highest frequency the reduced signal carries unharmed.
  double ceiling = std::min(s.upperLimit, 0.5 * rate_ - kaiserTransition(2 * s.resamplerOrder + 1, 80.0) * rate_);
  // Reduced sample j is centred on input frame j * factor + factor - 1 - delay.
  int factor = decimator_.factor();
  double firstCentred = (decimator_.delay() - (factor - 1)) / factor;
  int dataStart = std::max(0, static_cast<int>(std::ceil(firstCentred)));
  for (int k = 1; k <= std::min(s.harmonics, kMaxHarmonics); ++k) {
    // Harmonic k lies within k * half of k * centre; its neighbours, which
    // move with the same speed, come no nearer than centre - (k + 1) * half.
    double pass = k * half;
    double stop = centre - (k + 1) * half;
    bool fits = stop - pass >= transition && k * s.bandHigh + transition / 2.0 <= ceiling;
    if (!fits && k > 1) break;
    HarmonicDesign d;
    d.number = k;
    d.centre = k * centre;
    d.offsetLimit = pass;
    d.nominal = k * s.mains;
    d.cutoff = std::min(fits ? (pass + stop) / 2.0 : pass + transition / 2.0, 0.45 * rate_);
    d.room = fits ? stop - pass : 0.0;
    d.noiseScale = moment / (2.0 * k * (s.bandHigh - s.bandLow) * d.nominal * d.nominal);
    d.probeMoment = moment;
    d.dataStart = dataStart;
    harmonics_.emplace_back(d, rate_, s.harmonicFilter, smooth, s.weightMemory);
  }

  // Both trackers' speeds describe the same moment: the single-harmonic
  // tracker's wait a whole number of samples, and the joint tracker's newest
  // two speeds always bracket that moment.
  double own = harmonics_.front().delay();
  wait_ = std::max(0, static_cast<int>(std::ceil(joint_.delay() + joint_.factor() - own)));
  double lag = own + wait_;
  lag_ = lag;
  waiting_ = DelayLine(wait_ + 1);
  timeOffset_ = -lag * factor + (factor - 1) - decimator_.delay();
  // The newest smoothed value describes input time frame + timeOffset_ -
  // (factor - 1) at the latest; one more reduced sample covers the
  // interpolation to every frame.
  delay_ = static_cast<int>(std::ceil(lag * factor + decimator_.delay())) + factor;
}

void HumTracker::reducedStep(float u) {
  struct Estimate {
    double speed, weight, variance;
  };
  std::array<Estimate, kMaxHarmonics> usable;
  std::size_t count = 0;
  for (HarmonicTrack& h : harmonics_) {
    h.step(u, reduced_);
    double w = h.weight(minSnr_);
    if (w > 0.0) usable[count++] = {h.speed(), w, h.noiseVariance()};
  }
  if (count > 0) lastGood_ = std::clamp(static_cast<float>(combine(usable.data(), count, lastGood_)), lowest_, highest_);
  // Where no harmonic can be trusted the last good speed holds.
  // As offsets from 1, so the line's first zeros read as speed 1.
  waiting_.push(lastGood_ - 1.0f);
  float single = 1.0f + waiting_.at(wait_);

  if (joint_.step(u, reduced_)) {
    JointPoint& p = jointPoints_[static_cast<std::size_t>(jointCount_++ % kJointKept)];
    p.time = static_cast<double>(reduced_) - joint_.delay();
    p.speed = static_cast<float>(joint_.speed());
    p.confident = joint_.confident();
  }
  // The moment this step's speed describes, and the joint tracker's speed there.
  double time = static_cast<double>(reduced_) - lag_;
  bool confident = false;
  float joint = jointAt(time, &confident);
  engaged_ = engaged_ || confident;
  // The single-harmonic tracker serves the start, where the joint one is not
  // yet sure and may never be (no hum); from its first confident speed on,
  // the joint tracker decides, its smoothing bridging the gaps.
  float speed = engaged_ ? std::clamp(joint, lowest_, highest_) : single;
  // The verdict counts the moments whose windows lie wholly within the
  // stream's sound: near its start no tracker can be sure, and the silence
  // a caller feeds after the end to flush the stream is no hum to find.
  if (u != 0.0f) lastSound_ = reduced_;
  if (time >= joint_.delay() && time + joint_.delay() <= static_cast<double>(lastSound_)) {
    ++moments_;
    if (confident) ++followed_;
  }
  recent_[static_cast<std::size_t>(reduced_ % kRecent)] = speed;
  ++reduced_;
}

float HumTracker::jointAt(double time, bool* confident) const {
  const JointPoint* before = nullptr;
  const JointPoint* after = nullptr;
  for (const JointPoint& p : jointPoints_) {
    if (p.time <= time && (!before || p.time > before->time)) before = &p;
    if (p.time > time && (!after || p.time < after->time)) after = &p;
  }
  if (!before || !after) return 1.0f;
  *confident = before->confident && after->confident;
  auto f = static_cast<float>((time - before->time) / (after->time - before->time));
  return before->speed + (after->speed - before->speed) * f;
}

float HumTracker::outputAt(std::int64_t frame) const {
  double q = (static_cast<double>(frame - delay_) - timeOffset_) / decimator_.factor();
  double base = std::floor(q);
  auto i = static_cast<std::int64_t>(base);
  if (i < 0 || reduced_ == 0) return 1.0f;
  i = std::min(i, reduced_ - 2 >= 0 ? reduced_ - 2 : 0);
  auto f = static_cast<float>(q - base);
  float a = recent_[static_cast<std::size_t>(i % kRecent)];
  float b = recent_[static_cast<std::size_t>((i + 1) % kRecent)];
  if (i + 1 >= reduced_) b = a;
  return a + (b - a) * f;
}

void HumTracker::process(const float* input, int frames, float* output) {
  for (int j = 0; j < frames; ++j) {
    float u;
    if (decimator_.push(clean(input[j]), &u)) reducedStep(u);
    output[j] = outputAt(frame_);
    ++frame_;
  }
}

}  // namespace humengine
