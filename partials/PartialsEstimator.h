// Reads the wow of a recording from the music's own partials: every
// sustained spectral peak is followed as a track with a sub-bin frequency
// (from its phase advance between frames), and the speed curve is the one
// common factor that best explains all tracks' frequencies, each track (or
// each recurring note: tracks of the same de-wowed frequency) keeping one
// frequency of its own. The input is fed in blocks of any size; the result
// does not depend on how it was cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "partials/WowFigures.h"

namespace partials {

struct Options {
  // The band searched for partials. The default is the whole audible range;
  // the upper end is kept below the Nyquist frequency.
  double lowHz = 20.0;
  double highHz = 20000.0;
  // Transform length; 0 picks about 93 ms at the sample rate (4096 at
  // 44.1 kHz). Must be a power of two from 256 to 65536 otherwise.
  int fftLength = 0;
  // Peaks kept per frame, the strongest first.
  int maxPeaksPerFrame = 40;
  // Shorter tracks are dropped: too short to carry a frequency of their own.
  double minTrackSeconds = 0.04;
  // The curve's smoothness: variations faster than about this are damped
  // (at 3 Hz a 1.5 Hz wow keeps 94 % of its depth, one at 0.5 Hz all of it).
  double smoothingHz = 3.0;
  // Tracks of the same de-wowed frequency share one frequency: what ties the
  // slow part of the wow together across notes. Off: each track on its own.
  bool linkRecurring = true;
  // Estimate, re-link and re-estimate this many times.
  int passes = 10;
};

// One curve point: the relative speed there (1.0 at the curve's median,
// above 1 where the recording ran fast and a tone of F Hz sounds at
// F x ratio) and how far the estimate can be trusted (0 to 1).
struct Result {
  std::vector<CurvePoint> curve;  // one point every kCurveStep frames and one at the last frame
  WowFigures wow;                 // of the curve's trusted points
  double trustedShare = 0.0;      // share of points with confidence >= kTrustedConfidence
  std::size_t tracks = 0;         // tracks the estimate used
  std::size_t units = 0;          // distinct frequencies after linking recurring notes
};

inline constexpr int kCurveStep = 256;

class Estimator {
 public:
  // Channels are averaged. Options outside their range are brought into it.
  Estimator(double sampleRate, int channels, const Options& options = {});
  ~Estimator();
  Estimator(const Estimator&) = delete;
  Estimator& operator=(const Estimator&) = delete;

  // interleaved holds frames x channels samples.
  void feed(const float* interleaved, std::size_t frames);
  // Ends the input; the estimator is spent afterwards.
  Result finish();

  std::int64_t framesFed() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace partials
