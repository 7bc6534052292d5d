// The raw speeds of one harmonic under the speed filter's window, oldest
// first, as offsets from speed 1 (their squares keep precision), weighted
// by the harmonic's power: where the hum fades or its phase slips the power
// is low, so those samples count little. Samples that do not look like hum
// are held as zeros and marked invalid.
#pragma once

#include "engines/DelayLine.h"

namespace humengine {

// A smoothed speed needs this share of valid samples under its window...
inline constexpr float kMinCoverage = 0.8f;
// ...and at least this share of the harmonic's usual power: below it the
// hum is fading or gone under most of the window, and the few loud samples
// left would decide the result alone.
inline constexpr float kMinPowerShare = 0.25f;

struct SpeedWindow {
  explicit SpeedWindow(int length) : values(length), squares(length), powers(length), raw(length), valid(length) {}
  void push(float value, float power, bool ok) {
    values.push(ok ? value * power : 0.0f);
    squares.push(ok ? value * value * power : 0.0f);
    powers.push(ok ? power : 0.0f);
    raw.push(ok ? value : 0.0f);
    valid.push(ok ? 1.0f : 0.0f);
  }
  int length() const { return raw.length(); }
  DelayLine values, squares, powers, raw, valid;
};

}  // namespace humengine
