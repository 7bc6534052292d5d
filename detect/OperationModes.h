// The plug-in's operation modes (the value of its parameter 0, truncated),
// its algorithms, and the editor's list of them in the order it shows them.
// The detectors, the plug-in, its editor and pelmora-host all take them from
// here. Header only.
#pragma once

#include <array>

enum OperationMode : int {
  kModeRead = 1,
  kModeCorrect = 2,
  kModeHum = 3,
  kModePilotTone = 4,
  kModeNone = 5,
  kModeSpectral = 7,
  kModeZoom = 8,
  kModeSelection = 9,
};

namespace detect {

enum Algorithm : int {
  kAlgorithmHum = kModeHum,
  kAlgorithmPilotTone = kModePilotTone,
  kAlgorithmCentreOfGravity = 5,
  kAlgorithmManual = 6,
  kAlgorithmSpectral = kModeSpectral,
};

// The pilot-tone detector needs a recording of at least this rate.
inline constexpr float kPilotMinSampleRate = 24000.0f;

// One item of the editor's algorithm list: its text and the algorithm it
// chooses (0 for "Zoom", which chooses none).
struct AlgorithmItem {
  const char* text;
  int algorithm;
};

inline constexpr std::array<AlgorithmItem, 6> kAlgorithmItems{{
    {"Zoom", 0},
    {"Manual PVC Correction", kAlgorithmManual},
    {"Spectral-Domain PVC Detector", kAlgorithmSpectral},
    {"Power-Line Hum Frequency Tracking", kAlgorithmHum},
    {"High-Frequency Pilot Tone Tracking", kAlgorithmPilotTone},
    {"Centre of Gravity", kAlgorithmCentreOfGravity},
}};

// The list item that chooses an algorithm, or -1.
constexpr int algorithmItemOf(int algorithm) {
  for (int i = 1; i < static_cast<int>(kAlgorithmItems.size()); ++i)
    if (kAlgorithmItems[i].algorithm == algorithm) return i;
  return -1;
}

}  // namespace detect
