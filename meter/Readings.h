// From what was measured to a reading: the demodulated reference tone, or a
// speed curve from the music without one.
#pragma once

#include <span>
#include <string>

#include "meter/MeterReport.h"
#include "meter/ToneDemodulator.h"
#include "meter/UniformCurve.h"

namespace meter {

// Even rate the estimator's curve is brought to before weighting.
inline constexpr double kCurveRate = 1000.0;

// Where the tone fades (below a quarter of the level it keeps nine tenths
// of the time: a dropout or the silence before it) its frequency is noise; those samples are left out.
MeterReading readTone(const ToneDemodulator& tone, std::string file);

MeterReading readCurve(std::span<const CurveSample> points, std::string file);

}  // namespace meter
