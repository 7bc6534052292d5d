#include "tools/eval/wowgen/SpeedCurve.h"

#include <cmath>
#include <numbers>

namespace wowgen {

SpeedCurve::SpeedCurve(std::vector<WowSine> sines, double drift, double duration)
    : sines_(std::move(sines)), drift_(drift), duration_(duration > 0.0 ? duration : 1.0) {}

double SpeedCurve::ratio(double tau) const {
  double r = 1.0 + drift_ * tau / duration_;
  for (const WowSine& s : sines_) r += s.depth * std::sin(2.0 * std::numbers::pi * s.rate * tau + s.phase);
  return r;
}

double SpeedCurve::contentTime(double tau) const {
  double t = tau + drift_ * tau * tau / (2.0 * duration_);
  for (const WowSine& s : sines_) {
    if (s.rate == 0.0) {
      t += s.depth * std::sin(s.phase) * tau;
      continue;
    }
    const double w = 2.0 * std::numbers::pi * s.rate;
    t += s.depth * (std::cos(s.phase) - std::cos(w * tau + s.phase)) / w;
  }
  return t;
}

}  // namespace wowgen
