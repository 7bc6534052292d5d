// The analysis windows of the spectrogram and the detectors. Coefficients
// are computed in double precision and rounded to float; the spectrogram's
// windows already carry the division by the frame length used for levels.
#pragma once

#include <vector>

enum AnalysisWindowType : int {
  kWindowBoxcar = 0,
  kWindowHann = 1,
  kWindowBlackman = 2,
};

// The spectrogram window of `length` samples for `type`; `bins` is the
// analyser's bin count, which scales the boxcar. Types above Blackman select
// Hann, as do negative types.
std::vector<float> makeAnalysisWindow(int type, int length, int bins);

// Hamming window 0.54 - 0.46 cos(2 pi i / (length - 1)), not divided by
// the length. A length below 2 gives a single coefficient 1.
std::vector<float> makeHammingWindow(int length);
