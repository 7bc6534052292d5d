#include "engines/JointTracker.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engines/FilterDesign.h"

namespace humengine {
namespace {

constexpr double kAttenuationDb = 70.0;
// Half the narrow band's width: the wow moves the 6th harmonic by a little
// under 1 Hz, and its sidebands up to 3 Hz from the line are small.
constexpr double kNarrowCutoff = 3.0;
constexpr double kNarrowTransition = 1.5;
constexpr double kNarrowRate = 95.0;  // Hz, about
constexpr double kSteadySeconds = 0.5;
constexpr double kFillSeconds = 0.8;
// The speed filters are this many times as long as the speed filter of the
// single-harmonic tracker (2 s with the first values), so that where the hum
// is noisy the speed's band can end well below the narrow band's edge, whose
// noise the phase step lifts most.
constexpr double kSpeedLengthRatio = 3.0;
constexpr double kWideFlatHz = 3.0;
constexpr double kNarrowFlatHz = 1.6;
// A narrow sample as clean as hum 20 dB above its band's noise keeps its own
// value; noisier ones lean on the fit of their neighbours.
constexpr double kReferenceNoise = 0.01;
// Harmonics further than this many of their combined deviations from the
// weighted median are left out, and never nearer than this.
constexpr double kAgreementSigmas = 3.0;
constexpr double kAgreementFloor = 5e-5;
// Wow moves the speed this far from its slow centre at most; a harmonic's
// speed further out is a note or noise in its band (a semitone is 6 %).
constexpr double kWowReach = 0.01;
// The centre follows clean combined speeds over this time, and is known
// once that many seconds of them have been seen.
constexpr double kCentreSeconds = 5.0;
constexpr double kCentreKnownSeconds = 2.0;
// Fill weights, in reference samples, for a quadratic and for a line.
constexpr double kQuadraticWeight = 3.0;
constexpr double kLineWeight = 0.5;
// Neighbouring raw speeds share their noise over about a band's reciprocal;
// the predicted deviation takes that into account.
constexpr double kCorrelation = kNarrowRate / (2.0 * kNarrowCutoff);

int oddAtLeast(double x) { return std::max(3, static_cast<int>(std::ceil(x)) | 1); }

std::vector<float> kaiser(int n, double beta) {
  std::vector<float> w(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) w[static_cast<std::size_t>(i)] = static_cast<float>(kaiserWindow(2.0 * i / (n - 1) - 1.0, beta));
  return w;
}

}  // namespace

JointTracker::JointTracker(double rate, const HumSettings& s, double ceiling)
    : minSnr_(s.minSnr),
      raw_(1), weight_(1), drawn_(1), drawnVariance_(1) {
  design_.rate = rate;
  design_.factor = std::max(1, static_cast<int>(std::floor(rate / kNarrowRate)));
  design_.cutoff = kNarrowCutoff;
  double narrow = rate / design_.factor;
  // Before keeping every factor-th sample: what would fold into the narrow
  // band must be gone.
  double preStop = narrow - kNarrowCutoff - kNarrowTransition;
  double prePass = kNarrowCutoff + kNarrowTransition;
  int preLength = kaiserLength((preStop - prePass) / rate, kAttenuationDb);
  design_.pre = lowpassTaps(preLength, (preStop + prePass) / 2.0 / rate, kaiserBeta(kAttenuationDb));
  int bandLength = kaiserLength(kNarrowTransition / narrow, kAttenuationDb);
  design_.band = lowpassTaps(bandLength, (kNarrowCutoff + kNarrowTransition / 2.0) / narrow, kaiserBeta(kAttenuationDb));
  design_.steadyLength = oddAtLeast(kSteadySeconds * narrow);
  narrowRate_ = narrow;

  double centre = (s.bandLow + s.bandHigh) / 2.0;
  for (int k = 1; k <= std::min(s.harmonics, 64); ++k) {
    if (k * centre > s.upperLimit || k * centre + kNarrowCutoff + kNarrowTransition > ceiling) break;
    harmonics_.emplace_back(design_, k, k * centre, k * s.mains);
  }
  // The raw speed's variance per unit noise ratio: the phase noise spread
  // evenly over the band, differentiated.
  double hz = kNarrowCutoff / std::sqrt(3.0);
  rawScale_ = hz * hz / (s.mains * s.mains);
  reference_ = 1.0 / (kReferenceNoise * rawScale_);

  fillTaps_ = kaiser(oddAtLeast(kFillSeconds * narrow), 6.0);
  int speedLength = oddAtLeast(kSpeedLengthRatio * s.speedFilter / design_.factor);
  double transition = kaiserTransition(speedLength, 60.0);
  speedTaps_ = lowpassTaps(speedLength, std::min(kWideFlatHz / narrow + transition / 2.0, 0.45), kaiserBeta(60.0));
  slowTaps_ = lowpassTaps(speedLength, std::min(kNarrowFlatHz / narrow + transition / 2.0, 0.45), kaiserBeta(60.0));
  raw_ = DelayLine(static_cast<int>(fillTaps_.size()));
  weight_ = DelayLine(static_cast<int>(fillTaps_.size()));
  drawn_ = DelayLine(speedLength);
  drawnVariance_ = DelayLine(speedLength);
}

double JointTracker::delay() const {
  return NarrowHarmonic::delay(design_) +
         design_.factor * ((fillTaps_.size() - 1) / 2.0 + (speedTaps_.size() - 1) / 2.0);
}

bool JointTracker::step(float u, std::int64_t m) {
  bool ready = false;
  for (NarrowHarmonic& h : harmonics_) ready = h.step(u, m);
  if (!ready) return false;
  combine();
  smooth();
  return true;
}

// The weighted median of the harmonics' speeds, and the weighted mean of
// those that agree with it.
void JointTracker::combine() {
  struct Estimate {
    double speed, variance, weight;
  };
  std::array<Estimate, 64> e;
  std::size_t n = 0;
  double total = 0.0;
  bool centreKnown = centreSamples_ >= kCentreKnownSeconds * narrowRate_;
  for (const NarrowHarmonic& h : harmonics_) {
    const NarrowHarmonic::Raw& r = h.raw();
    if (!r.valid || r.noise * minSnr_ > 1.0) continue;
    double variance = r.noise * rawScale_ / (h.number() * h.number());
    if (centreKnown && std::fabs(r.speed - centre_) > kWowReach + kAgreementSigmas * std::sqrt(variance)) continue;
    e[n++] = {r.speed, variance, 1.0 / variance};
    total += 1.0 / variance;
  }
  double raw = 0.0, weight = 0.0;
  if (n > 0) {
    std::sort(e.begin(), e.begin() + n, [](const Estimate& a, const Estimate& b) { return a.speed < b.speed; });
    std::size_t median = 0;
    for (double below = 0.0; median < n; ++median) {
      below += e[median].weight;
      if (below >= total / 2.0) break;
    }
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      double d = e[i].speed - e[median].speed;
      double allowed = kAgreementSigmas * std::sqrt(e[i].variance + e[median].variance) + kAgreementFloor;
      if (std::fabs(d) > allowed) continue;
      sum += e[i].weight * (e[i].speed - 1.0);
      weight += e[i].weight;
    }
    raw = sum / weight;
    if (weight >= 0.1 * reference_) {
      ++centreSamples_;
      double rate = std::max(1.0 / (kCentreSeconds * narrowRate_), 1.0 / static_cast<double>(centreSamples_));
      centre_ += rate * (1.0 + raw - centre_);
    }
  }
  raw_.push(static_cast<float>(raw));
  weight_.push(static_cast<float>(weight / reference_));  // in units of the reference, to stay within float
}

// Each sample is drawn toward a local quadratic fit of its neighbours, as
// far as it is noisier than the reference; the low-pass of the drawn
// samples is the speed.
void JointTracker::smooth() {
  int n = static_cast<int>(fillTaps_.size());
  int c = (n - 1) / 2;
  const float* r = raw_.window();
  const float* w = weight_.window();
  std::array<double, 5> m{};
  std::array<double, 3> b{};
  double squares = 0.0;
  for (int i = 0; i < n; ++i) {
    double kw = static_cast<double>(fillTaps_[i]) * w[i];
    if (!(kw > 0.0)) continue;
    double t = static_cast<double>(i - c) / c;
    double p = 1.0;
    for (int j = 0; j < 5; ++j, p *= t) {
      m[j] += kw * p;
      if (j < 3) b[j] += kw * p * r[i];
    }
    squares += kw * fillTaps_[i];
  }
  double drawn = lastDrawn_, variance = 1e30;
  double own = w[c];
  if (m[0] > 0.0) {
    // The fit's value at the centre: a quadratic where there is weight
    // enough on both sides, a line where there is less, else the weighted
    // mean; with little weight a fit of higher order swings out over a gap.
    double fit = b[0] / m[0];
    double lean = m[1] / m[0];
    double lineDet = m[0] * m[2] - m[1] * m[1];
    double a00 = m[0], a01 = m[1], a02 = m[2], a11 = m[2], a12 = m[3], a22 = m[4];
    double det = a00 * (a11 * a22 - a12 * a12) - a01 * (a01 * a22 - a12 * a02) + a02 * (a01 * a12 - a11 * a02);
    if (m[0] >= kQuadraticWeight && std::fabs(lean) <= 0.3 && std::fabs(det) > 1e-6 * m[0] * m[0] * m[0]) {
      fit = (b[0] * (a11 * a22 - a12 * a12) - a01 * (b[1] * a22 - a12 * b[2]) + a02 * (b[1] * a12 - a11 * b[2])) / det;
    } else if (m[0] >= kLineWeight && std::fabs(lean) <= 0.6 && lineDet > 1e-6 * m[0] * m[0]) {
      fit = (b[0] * m[2] - m[1] * b[1]) / lineDet;
    }
    fit = std::clamp(fit, centre_ - 1.0 - kWowReach, centre_ - 1.0 + kWowReach);
    // Variances in units of the reference's.
    double fitVariance = squares / (m[0] * m[0]);
    drawn = (own * r[c] + fit) / (own + 1.0);
    variance = (own + fitVariance) / ((own + 1.0) * (own + 1.0));
    lastDrawn_ = drawn;
  }
  drawn_.push(static_cast<float>(drawn));
  drawnVariance_.push(static_cast<float>(std::min(variance, 1e30)));
  // The whole wow band where the hum is clean enough; its slower part,
  // with a fraction of the noise, where it is not.
  int s = static_cast<int>(speedTaps_.size());
  double wide = 0.0, slow = 0.0;
  for (int i = 0; i < s; ++i) {
    double v = drawnVariance_.window()[i];
    wide += static_cast<double>(speedTaps_[i]) * speedTaps_[i] * v;
    slow += static_cast<double>(slowTaps_[i]) * slowTaps_[i] * v;
  }
  // The raw speeds' noise rises with frequency up to the narrow band's
  // edge; a share of it this much larger than the taps' passes the wide filter.
  wide = std::sqrt(wide * kCorrelation / reference_);
  slow = std::sqrt(slow * kCorrelation / reference_) * kNarrowFlatHz / kWideFlatHz;
  if (wide <= kConfidentSigma / 2.0) {
    speed_ = 1.0 + dot(speedTaps_.data(), drawn_.window(), s);
    sigma_ = wide;
  } else {
    speed_ = 1.0 + dot(slowTaps_.data(), drawn_.window(), s);
    sigma_ = slow;
  }
}

}  // namespace humengine
