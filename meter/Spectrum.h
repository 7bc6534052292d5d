// The spectrum of a speed deviation, for the report's picture: averaged
// over Hann-windowed half-overlapping segments, scaled so that a sine of
// amplitude A per cent shows a peak of A.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace meter {

struct Spectrum {
  double binHz = 0.0;
  std::vector<double> amplitude;  // per cent, bin k at k x binHz
};

// Segments as long as gives about resolutionHz, but no longer than the
// signal. Flagged-out samples count as zero.
Spectrum amplitudeSpectrum(std::span<const float> x, std::span<const std::uint8_t> flags, double rate,
                           double resolutionHz);

}  // namespace meter
