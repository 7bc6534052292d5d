// The wow of a recording as the partials estimator reads it from the music
// itself: the figure every batch run gives for its input and its output, and
// the curve the "partials" algorithm hands the plug-in.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "curve/PvcPoint.h"
#include "partials/PartialsEstimator.h"

namespace host {

class AudioStore;

// Frames [first, last) of the store; the curve's positions are the store's.
struct MeasureSpan {
  std::uint64_t first = 0;
  std::uint64_t last = 0;  // 0: to the end
};

// Fraction done, 0 to 1.
using MeasureProgress = std::function<void(double)>;

// Runs the estimator over the store a block at a time. Nothing when the
// store cannot be read, with the reason.
std::optional<partials::Result> estimateWow(AudioStore& store, const partials::Options& options, MeasureSpan span,
                                            const MeasureProgress& progress, std::string& problem);
// The same for a WAV file under a name in any script.
std::optional<partials::Result> estimateWow(const std::string& wavPath, const partials::Options& options,
                                            const MeasureProgress& progress, std::string& problem);

// The estimate as curve points for the plug-in: positions within 32 bits,
// ratios as floats, ascending.
std::vector<PvcPoint> curvePoints(const partials::Result& result);

// "0.123 % RMS, 0.456 % peak (partials, 87 % of the file trusted)", or why
// there is no figure.
std::string describeWow(const partials::Result& result);

// A figure read from fewer trusted points than this share of the file is
// the estimator's guess, not a measure (speech, mostly).
inline constexpr double kMinTrustedShare = 0.1;

// Whether the estimate gives a figure worth comparing, and a curve worth
// applying.
bool hasFigure(const partials::Result& result);

// Differences of wow below this are the estimator's own scatter.
inline constexpr double kWowResolutionPercent = 0.005;

// Whether a correction left less wow than it found, by more than the
// estimator can tell apart. Nothing when either figure is missing (too
// little tonal content to read one).
std::optional<bool> lessWow(const partials::Result& before, const partials::Result& after);

}  // namespace host
