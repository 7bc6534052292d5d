// A real recording played at a known speed curve, with mains hum that
// follows the same curve: what a transfer of a wowed tape with hum looks
// like, made from any file libsndfile reads (native builds only).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "signals/SyntheticRecording.h"

namespace music {

struct Take {
  std::string path;
  double offset = 0.0;   // s into the file where the excerpt starts
  double seconds = 30.0; // length of the excerpt, at most what the file holds
  double humDb = -20.0;  // hum RMS relative to the excerpt's RMS
  std::vector<double> harmonics = {1.0, 0.5, 0.35};
};

// The channels of the excerpt, each resampled along the wow, hum added
// (the same in every channel), interleaved. Empty when the file cannot be
// read; rate and channels say what it holds.
std::vector<float> makeTake(const Take& take, const synth::WowCurve& wow, double mains, double* rate,
                            int* channels, std::string* error);

// A whole file as it is, interleaved; empty when it cannot be read.
std::vector<float> readRecording(const std::string& path, double* rate, int* channels, std::string* error);

// The points of a PVC text file ("position ratio" per line), in order;
// empty when it cannot be read.
std::vector<std::pair<double, double>> readCurve(const std::string& path);

}  // namespace music
