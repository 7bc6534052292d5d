// What the meter read from one file, as text for the terminal, as JSON for
// scripts and as an HTML page with the speed curve and its spectrum; and a
// file before and after its correction side by side.
#pragma once

#include <string>
#include <vector>

#include "meter/FlutterFigures.h"

namespace meter {

struct MeterReading {
  std::string file;
  bool fromTone = false;
  double referenceHz = 0.0;  // the nominal tone; with fromTone only
  double toneHz = 0.0;       // its mean measured frequency
  double toneShare = 0.0;    // of the signal's power near the tone
  double trustedShare = 1.0; // of the curve, without a tone
  double startSeconds = 0.0; // time of the analysis' first sample
  double spectrumTopHz = 300.0;  // the curve holds nothing above this
  FlutterAnalysis analysis;
  std::vector<std::string> notes;

  // (toneHz / referenceHz - 1) x 100; only with a tone.
  double speedOffsetPercent() const;
};

// "1.00 % fast", "0.87 % slow", "on speed".
std::string speedOffsetText(double percent);

std::string readingText(const MeterReading& reading);
std::string readingJson(const MeterReading& reading);
std::string readingHtml(const MeterReading& reading);

// A file before and after its correction, with the steps that were taken
// (the algorithm, how the curve was shaped, the verdict), for dewow and correct.
std::string comparisonJson(const MeterReading& before, const MeterReading& after,
                           const std::vector<std::string>& steps);
std::string comparisonHtml(const MeterReading& before, const MeterReading& after,
                           const std::vector<std::string>& steps);

}  // namespace meter
