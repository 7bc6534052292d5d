// Measures the speed deviation of a recording from one reference tone,
// independently of the plug-in's detectors: the tone is isolated with a
// band-pass around its nominal frequency, taken as an analytic signal, and
// the slope of its phase gives the instantaneous frequency; divided by the
// nominal frequency that is the speed ratio.
#pragma once

#include <string>
#include <vector>

namespace wowmeter {

struct MeterSettings {
  double tone = 1000.0;  // nominal frequency, Hz
  double band = 0.03;    // half-width of the pass band as a fraction of the tone
  double edge = 0.5;     // seconds ignored at each end
};

struct WowReading {
  double mean = 0.0;    // mean deviation, fraction
  double rms = 0.0;     // RMS deviation from nominal speed
  double rmsAc = 0.0;   // RMS deviation from the mean speed
  double peak = 0.0;    // largest absolute deviation
  long long samples = 0;    // instants measured
  long long skipped = 0;    // instants where the tone was too weak to measure
};

// The deviation at each instant n + 1/2 between samples n and n + 1, over the
// whole signal (edges included); empty with a message when it cannot measure.
bool speedDeviation(const std::vector<float>& signal, double sampleRate, const MeterSettings& settings,
                    std::vector<double>& deviation, std::vector<double>& amplitude, std::string& problem);

bool measureWow(const std::vector<float>& signal, double sampleRate, const MeterSettings& settings,
                WowReading& reading, std::string& problem);

}  // namespace wowmeter
