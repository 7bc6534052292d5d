// Measures the wow left in a recording against its clean original, with no
// reference tone: where in the original each moment of the recording comes
// from, by windowed cross-correlation with lags placed between samples. The
// recording's speed is the derivative of that position.
//
// First a global alignment on a coarse copy of both (the recording may be
// shifted and slightly faster or slower as a whole), then passes over short
// windows: each pass reads the original along the positions the pass before
// found, so the windows compare nearly aligned signals and only a small
// residual lag is left to find.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wowxcorr {

struct XcorrSettings {
  double window = 0.15;        // s, the fine windows
  double coarseWindow = 0.08;  // s, the first pass's windows
  double hop = 0.025;          // s
  double span = 0.12;          // s: the speed is the slope of the position over this span
  double maxShift = 2.0;       // s: the largest overall shift searched
  double maxWowLag = 0.025;    // s: the largest lag the first pass searches about the alignment
  double minQuality = 0.15;    // a window with a weaker whitened peak is not trusted
  double maxAmbiguity = 0.8;   // nor one with a second peak this close to it
  double edge = 0.5;           // s left out of the figures at either end
  double lowHz = 60.0;
  double highHz = 16000.0;
  int finePasses = 3;
};

struct SpeedPoint {
  double frame;  // of the recording
  double ratio;  // its relative speed: content frames per frame
};

struct XcorrResult {
  double rmsPercent = 0.0;     // speed deviation about its mean
  double peakPercent = 0.0;
  double offsetPercent = 0.0;  // the mean speed's distance from 1
  double shiftFrames = 0.0;    // where the recording's first frame lies in the original, from the alignment
  double trustedShare = 0.0;   // of the fine windows
  int windows = 0;
  std::vector<SpeedPoint> curve;  // every speed point (the figures leave the edges out)
};

// test and clean are mono, at one rate.
bool measureWow(const std::vector<float>& test, const std::vector<float>& clean, double sampleRate,
                const XcorrSettings& settings, XcorrResult& result, std::string& problem);

}  // namespace wowxcorr
