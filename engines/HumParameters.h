// The hum engine's parameters: normalised values (0 to 1) as the plug-in
// stores them, their display units, and the settings the tracker derives.
#pragma once

#include <array>
#include <string_view>

namespace humengine {

enum ParamIndex : int {
  kPreviewGain = 0,     // dB applied to the reduced-rate preview
  kUpperLimit = 1,      // Hz, preview band edge and ceiling for the harmonics used
  kReducedRate = 2,     // Hz, rate of the reduced signal
  kBandLow = 3,         // Hz, lower edge of the tracked fundamental band
  kBandHigh = 4,        // Hz, upper edge
  kSpeedFilter = 5,     // reduced-rate samples, length of the speed smoothing filter
  kHarmonicFilter = 6,  // reduced-rate samples, length of each harmonic's filter
  kHarmonics = 7,       // highest harmonic number used
  kWeightMemory = 8,    // s, memory of the per-harmonic noise estimate
  kMinSnr = 9,          // dB, a harmonic quieter than this relative to its noise is ignored
  kMainsFrequency = 10, // Hz, nominal mains frequency
  kResamplerOrder = 11, // zero crossings of the reduced-rate filters on each side
  kParamCount = 12
};

// Normalised values of a fresh instance.
std::array<float, kParamCount> defaultValues();

// Display value of parameter index at normalised value v; 0 for an unknown index.
float displayValue(int index, float v);

// Texts; empty for an unknown index. All fit the plug-in editor's buffers.
std::string_view paramName(int index);
std::string_view paramLabel(int index);

// What the signal paths use, derived from the values and made safe: every
// field is finite and inside the range the code below relies on.
struct HumSettings {
  double previewGain = 1.0;   // linear
  double upperLimit = 300.0;  // Hz
  double reducedRate = 750.0; // Hz
  double bandLow = 45.0;      // Hz, below bandHigh and above 0
  double bandHigh = 55.0;     // Hz
  double mains = 50.0;        // Hz
  int speedFilter = 501;      // odd, reduced-rate samples
  int harmonicFilter = 251;   // odd
  int harmonics = 4;          // at least 1
  double weightMemory = 1.0;  // s, above 0
  double minSnr = 10.0;       // linear power ratio
  int resamplerOrder = 32;    // at least 4
};

HumSettings deriveSettings(const std::array<float, kParamCount>& values);

}  // namespace humengine
