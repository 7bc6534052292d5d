#include "engines/FirDecimator.h"

#include "engines/FilterDesign.h"

namespace humengine {
namespace {

constexpr double kAttenuationDb = 80.0;

int tapCount(int factor, int zeroCrossings) { return 2 * zeroCrossings * factor + 1; }

}  // namespace

// The cutoff sits at the new Nyquist frequency: what aliases lies in the
// top of the new band, well above the harmonics the tracker uses.
FirDecimator::FirDecimator(int factor, int zeroCrossings)
    : factor_(factor),
      taps_(lowpassTaps(tapCount(factor, zeroCrossings), 0.5 / factor, kaiserBeta(kAttenuationDb))),
      line_(tapCount(factor, zeroCrossings)) {}

float FirDecimator::dotTaps() const { return dot(taps_.data(), line_.window(), static_cast<int>(taps_.size())); }

}  // namespace humengine
