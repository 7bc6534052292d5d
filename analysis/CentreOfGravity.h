// Centre-of-gravity tracking: follows one tonal line through the power rows
// of the spectrogram, column after column, and turns the centres into speed
// ratios. Stateless functions; a result that would need a division by zero
// is absent instead of NaN.
#pragma once

#include <optional>
#include <span>

#include "analysis/PowerRows.h"

// Log-frequency centre of gravity of bins from..to (either order, the lower
// bound raised to 2), with a raised-cosine taper over the band. Bins beyond
// the row count as silent. Absent when the band carries no weight.
std::optional<float> bandCentroid(std::span<const float> row, int from, int to);

// Weighted variance in bins^2 of the band from..to around `centre`; each bin
// is weighted by the squared power of the bin above it. Absent for a band of
// one bin or no weight.
std::optional<float> bandSpread(std::span<const float> row, float centre, int from, int to);

// Follows the track over |count| columns from firstColumn, forward for a
// positive count and backward for a negative one, starting at startBin.
// Writes one ratio per tracked column into out (from its start going
// forward, from its end going backward) and returns the number of columns
// tracked, signed like count. |count| <= 1 tracks nothing. The track stops
// where the energy spreads out, where a band is silent, at the edge of the
// rows, and where out is full.
int trackCentroid(const PowerRows& rows, int firstColumn, int count, int startBin, float reference,
                  std::span<float> out, int width);
