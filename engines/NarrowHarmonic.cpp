#include "engines/NarrowHarmonic.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engines/FilterDesign.h"
#include "engines/PhaseStep.h"

namespace humengine {
namespace {

// The noise ratio is never taken below this (50 dB): the estimate is not
// finer than that, and one very clean harmonic should not silence the rest.
constexpr double kNoiseFloor = 1e-5;
// The usual level falls at once to a quieter stretch, a dip from music
// cancelling the hum for a moment excepted: it falls by this share per
// narrow sample.
constexpr double kLevelFall = 0.2;

constexpr double kLevelWobble = 0.02;

}  // namespace

NarrowHarmonic::NarrowHarmonic(const NarrowDesign& d, int number, double mixHz, double nominalHz)
    : design_(d),
      number_(number),
      mixHz_(mixHz),
      nominalHz_(nominalHz),
      cyclesPerSample_(mixHz / d.rate),
      narrowRate_(d.rate / d.factor),
      preRe_(static_cast<int>(d.pre.size())),
      preIm_(static_cast<int>(d.pre.size())),
      bandRe_(static_cast<int>(d.band.size())),
      bandIm_(static_cast<int>(d.band.size())),
      speeds_(d.steadyLength),
      amplitudes_(d.steadyLength),
      strong_(d.steadyLength),
      // Every filter full of the input, and one step more for the phase.
      trustedFrom_(static_cast<std::int64_t>(d.band.size()) + d.steadyLength + 1 +
                   (static_cast<std::int64_t>(d.pre.size()) + d.factor - 1) / d.factor) {}

double NarrowHarmonic::delay(const NarrowDesign& d) {
  return (d.pre.size() - 1) / 2.0 + d.factor * ((d.band.size() - 1) / 2.0 + 0.5 + (d.steadyLength - 1) / 2.0);
}

bool NarrowHarmonic::step(float u, std::int64_t m) {
  // Mixer phase from the sample index, so it does not drift over hours.
  double cycles = static_cast<double>(m) * cyclesPerSample_;
  double phase = 2.0 * std::numbers::pi * (cycles - std::floor(cycles));
  preRe_.push(u * static_cast<float>(std::cos(phase)));
  preIm_.push(-u * static_cast<float>(std::sin(phase)));
  if (m % design_.factor != design_.factor - 1) return false;
  narrowStep();
  return true;
}

void NarrowHarmonic::narrowStep() {
  int n = static_cast<int>(design_.pre.size());
  bandRe_.push(dot(design_.pre.data(), preRe_.window(), n));
  bandIm_.push(dot(design_.pre.data(), preIm_.window(), n));
  n = static_cast<int>(design_.band.size());
  const PhaseStep::Result reading =
      PhaseStep::step(dot(design_.band.data(), bandRe_.window(), n), dot(design_.band.data(), bandIm_.window(), n),
                      lastRe_, lastIm_, narrowRate_);
  speeds_.push(static_cast<float>((mixHz_ + reading.offset) / nominalHz_ - 1.0));
  amplitudes_.push(std::sqrt(reading.power));
  strong_.push(reading.strong && std::fabs(reading.offset) <= design_.cutoff ? 1.0f : 0.0f);
  ++narrowCount_;

  // The level and its change over the window around the speed described.
  int w = design_.steadyLength;
  double sum = 0.0, square = 0.0, strongCount = 0.0;
  for (int i = 0; i < w; ++i) {
    double a = amplitudes_.window()[i];
    sum += a;
    square += a * a;
    strongCount += strong_.window()[i];
  }
  double mean = sum / w;
  double meanPower = square / w;
  raw_ = Raw{};
  if (narrowCount_ < trustedFrom_ || !(mean > 0.0)) return;
  if (level_ <= 0.0 || meanPower < level_)
    level_ += (level_ > 0.0 ? kLevelFall : 1.0) * (meanPower - level_);
  else
    level_ += (meanPower - level_) / (design_.riseSeconds * narrowRate_);
  double change = std::max(0.0, meanPower - mean * mean) / (mean * mean);
  // The level of a clean line still wobbles a little with the wow, which
  // moves it across the filters' slopes; that is no noise.
  double excess = level_ > 0.0 ? meanPower / level_ - 1.0 - kLevelWobble : 0.0;
  int centre = (w - 1) / 2;
  raw_.speed = 1.0 + speeds_.at(centre);
  raw_.noise = std::max({change, excess, kNoiseFloor});
  raw_.valid = strong_.at(centre) > 0.0f && strongCount == w;
}

}  // namespace humengine
