#include "engines/HumParameters.h"

#include <algorithm>
#include <cmath>

namespace humengine {
namespace {

struct ParamInfo {
  std::string_view name;
  std::string_view label;
  float initial;
};

// Defaults give a 50 Hz mains tracker with a 45 to 55 Hz band and a 750 Hz
// reduced rate, the values the plug-in sets on its first selection.
constexpr std::array<ParamInfo, kParamCount> kInfo{{
    {"Preview gain", "dB", 0.5f},
    {"Upper limit", "Hz", 0.3f},
    {"Reduced rate", "Hz", 0.75f},
    {"Band low", "Hz", 0.225f},
    {"Band high", "Hz", 0.275f},
    {"Speed filter", "smpl", 0.25f},
    {"Harmonic filter", "smpl", 0.125f},
    {"Harmonics", "order", 0.075f},
    {"Noise memory", "s", 0.1f},
    {"Min. SNR", "dB", 0.15f},
    {"Mains", "Hz", 0.257f},
    {"Filter order", "order", 0.16f},
}};

bool known(int index) { return index >= 0 && index < kParamCount; }

// Mains frequency in 0.1 Hz steps: a nominal that is off by a fraction of a
// step would bias every speed, so the bar snaps to exact values. 0.257 gives
// 50.0, 0.334 gives 60.0, 0.001 gives 16.7 and 0.065 gives 25.0.
double mainsFromValue(double v) { return std::round((16.58 + 130.0 * v) * 10.0) / 10.0; }

int oddLength(double samples, int minimum) {
  int n = std::max(minimum, static_cast<int>(std::lround(samples)));
  return n | 1;
}

}  // namespace

std::array<float, kParamCount> defaultValues() {
  std::array<float, kParamCount> values{};
  for (int i = 0; i < kParamCount; ++i) values[i] = kInfo[i].initial;
  return values;
}

float displayValue(int index, float value) {
  double v = value;
  switch (index) {
    case kPreviewGain: return static_cast<float>((v - 0.5) * 48.0);
    case kUpperLimit:
    case kReducedRate: return static_cast<float>(v * 1000.0);
    case kBandLow:
    case kBandHigh: return static_cast<float>(v * 200.0);
    case kSpeedFilter:
    case kHarmonicFilter: return static_cast<float>(std::round(v * 2000.0));
    case kHarmonics: return static_cast<float>(std::round(v * 80.0));
    case kWeightMemory: return static_cast<float>(v * 10.0);
    case kMinSnr: return static_cast<float>(v * 40.0);
    case kMainsFrequency: return static_cast<float>(mainsFromValue(v));
    case kResamplerOrder: return static_cast<float>(std::round(v * 100.0));
    default: return 0.0f;
  }
}

std::string_view paramName(int index) { return known(index) ? kInfo[index].name : std::string_view{}; }
std::string_view paramLabel(int index) { return known(index) ? kInfo[index].label : std::string_view{}; }

HumSettings deriveSettings(const std::array<float, kParamCount>& values) {
  auto shown = [&](int index) { return static_cast<double>(displayValue(index, values[index])); };
  HumSettings s;
  s.previewGain = std::pow(10.0, shown(kPreviewGain) / 20.0);
  s.mains = shown(kMainsFrequency);
  s.bandLow = shown(kBandLow);
  s.bandHigh = shown(kBandHigh);
  if (s.bandLow > s.bandHigh) std::swap(s.bandLow, s.bandHigh);
  // A band of zero width or one that reaches 0 Hz cannot be tracked; keep
  // at least 0.5 Hz and stay above 5 % of the nominal.
  s.bandLow = std::max(s.bandLow, 0.05 * s.mains);
  s.bandHigh = std::max(s.bandHigh, s.bandLow + 0.5);
  s.reducedRate = shown(kReducedRate);
  s.upperLimit = std::max(shown(kUpperLimit), s.bandHigh);
  s.speedFilter = oddLength(shown(kSpeedFilter), 31);
  s.harmonicFilter = oddLength(shown(kHarmonicFilter), 31);
  s.harmonics = std::max(1, static_cast<int>(shown(kHarmonics)));
  s.weightMemory = std::max(0.05, shown(kWeightMemory));
  s.minSnr = std::pow(10.0, shown(kMinSnr) / 10.0);
  s.resamplerOrder = std::max(4, static_cast<int>(shown(kResamplerOrder)));
  return s;
}

}  // namespace humengine
