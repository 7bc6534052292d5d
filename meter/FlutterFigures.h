// Wow and flutter figures of a speed curve sampled at an even rate:
// weighted (the 4 Hz weighting), split at 6 Hz into wow and flutter (each
// part RMS-complementary to the other), and
// unweighted over 0.5 to 200 Hz. Peaks are two-sigma values: the level
// that the magnitude of the deviation exceeds 5 % of the time (for a sine
// 99.7 % of its amplitude; for noise close to twice its RMS).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace meter {

inline constexpr double kWowFlutterSplitHz = 6.0;
inline constexpr double kUnweightedLowHz = 0.5;
inline constexpr double kUnweightedHighHz = 200.0;
// The standard reads the peak over at least this long.
inline constexpr double kMinimumSeconds = 5.0;
// Left out after the first trusted sample while the filters settle.
inline constexpr double kSettleSeconds = 3.0;
inline constexpr const char* kPeakConvention =
    "weighted peak (2 sigma): the level the weighted speed deviation exceeds 5 % of the time";

struct Level {
  double peakPercent = 0.0;  // two sigma
  double rmsPercent = 0.0;
};

struct FlutterFigures {
  Level weighted;
  Level wow;       // weighted, below 6 Hz
  Level flutter;   // weighted, above 6 Hz
  Level unweighted;
  double meanRatio = 1.0;     // of the measured samples
  double seconds = 0.0;       // measured (trusted, after settling)
  std::size_t samples = 0;    // measured; 0: no figures
  bool shorterThanMinimum() const { return seconds < kMinimumSeconds; }
};

struct FlutterAnalysis {
  FlutterFigures figures;
  double rate = 0.0;
  std::size_t settle = 0;           // samples before the measurement starts
  std::vector<float> deviation;     // per cent, unweighted (0.5 to 200 Hz)
  std::vector<float> weighted;      // per cent
  std::vector<std::uint8_t> used;   // 1 where a sample was measured
};

// ratio: relative speed (or frequency), one per sample at rate. trusted:
// empty, or one flag per sample; untrusted samples are filtered through but
// left out of the figures and the mean.
FlutterAnalysis analyseFlutter(std::span<const double> ratio, std::span<const std::uint8_t> trusted, double rate);

// Two-sigma value of |x| over the flagged samples (all when flags is empty).
double twoSigmaPeak(std::span<const float> x, std::span<const std::uint8_t> flags);

}  // namespace meter
