#include "detect/PilotToneTracker.h"

#include <algorithm>
#include <cmath>

#include "detect/BoundedCopy.h"
#include "detect/DetectorMath.h"

namespace detect {

namespace {

constexpr std::array<const char*, PilotToneTracker::kNumParams> kNames = {
    "FFT Length", "Overlap", "Preemphasis", "Time smooth", "Freq smooth", "Bottom margin"};
constexpr std::array<const char*, PilotToneTracker::kNumParams> kLabels = {"smpl", "%", "ratio", "order", "order",
                                                                           "%"};
constexpr std::array<float, PilotToneTracker::kNumParams> kDefaults = {0.18f, 1.0f, 0.5f, 0.1f, 0.3f, 0.68f};

// The spectrum buffer holds the working spectrum from bin 0 and a second
// spectrum from its middle on.
constexpr int kSecondSpectrum = PilotToneTracker::kCapacity / 2 + 1;

}  // namespace

PilotToneTracker::PilotToneTracker(float sampleRate)
    : fs_(sampleRate),
      fmin_(sampleRate > 48000.0f ? 25000.0f : 14000.0f),
      ring_(2 * kCapacity, 0.0f),
      ramp_(kCapacity, 0.0f),
      work_(2 * kCapacity, 0.0f),
      spectrum_(2 * kSecondSpectrum, 0.0) {
  for (int i = 0; i < kNumParams; ++i) setParamValue(i, kDefaults[static_cast<std::size_t>(i)]);
}

int PilotToneTracker::getNumParams() { return kNumParams; }

float PilotToneTracker::getParamValue(int index) {
  if (index < 0 || index >= kNumParams) return 0.0f;
  return values_[static_cast<std::size_t>(index)];
}

float PilotToneTracker::getParamValueDisp(int index) {
  switch (index) {
    case 0: return static_cast<float>(N_);
    case 1: return values_[1] * kOverlapCeiling * 100.0f;
    case 2: return static_cast<float>(weights_.order());
    case 3: return static_cast<float>(smoother_.length());
    case 4: return static_cast<float>(smoother_.width());
    case 5: return static_cast<float>(margin_);
    default: return 0.0f;
  }
}

bool PilotToneTracker::setParamValue(int index, float value) {
  if (index < 0 || index >= kNumParams) return true;
  // Values outside 0..1 would size tables beyond their capacity.
  const float v = clampUnit(value);
  values_[static_cast<std::size_t>(index)] = v;
  switch (index) {
    case 0: setLength(v); break;
    case 1: setOverlap(v); break;
    case 2: weights_.setEmphasis(bins(), roundHalfUp(4.0f * v + 1.0f)); break;
    case 3: smoother_.setLength(roundHalfUp(15.0f * v + 1.0f)); break;
    case 4: smoother_.setWidth(roundHalfUp(7.0f * v + 1.0f)); break;
    case 5: margin_ = std::clamp(roundHalfUp(50.0f * v + 50.0f), 50, 100); break;
  }
  return true;
}

void PilotToneTracker::setLength(float v) {
  const int n = std::clamp(1 << std::clamp(roundHalfUp(9.0f + 4.0f * v), 9, 13), kMinLength, kCapacity);
  // A frame in the ring was cut for the old length; start the ring afresh
  // so that the next frame is a whole one of the new length.
  if (n != N_) resetRing();
  N_ = n;
  weights_.setWindowLength(N_);
  weights_.setEmphasis(bins(), weights_.order());
  smoother_.setBins(bins());
  // Past the top bin the band is empty; kept finite for any rate.
  const float lowest = fmin_ * 2.0f * static_cast<float>(N_ / 2 + 1) / fs_;
  L_ = std::isfinite(lowest) && lowest < float(kCapacity) ? std::max(roundHalfUp(lowest), 0) : kCapacity;
  setOverlap(values_[1]);
}

void PilotToneTracker::setOverlap(float v) {
  overlap_ = std::clamp(roundHalfUp(v * static_cast<float>(N_) * kOverlapCeiling), 0, N_ - 1);
}

void PilotToneTracker::resetRing() {
  writeIndex_ = 0;
  frameStart_ = 0;
}

bool PilotToneTracker::getParamName(int index, char* buffer) {
  if (index >= 0 && index < kNumParams) copyBounded(kNames[static_cast<std::size_t>(index)], buffer);
  return true;
}

bool PilotToneTracker::getParamLabel(int index, char* buffer) {
  if (index >= 0 && index < kNumParams) copyBounded(kLabels[static_cast<std::size_t>(index)], buffer);
  return true;
}

int PilotToneTracker::getDelay() {
  const int T = smoother_.length();
  return roundHalfUp(1.5 * N_ - overlap_ - 1 + hop() * (T - 1) / 2.0);
}

bool PilotToneTracker::process(int frameCount, int channelCount, const float* const* inputs,
                               float* const* outputs, PilotTrackingState& state) {
  if (frameCount <= 0 || channelCount <= 0 || !inputs || !outputs) return true;
  for (int s = 0; s < frameCount; ++s) {
    float sum = 0.0f;
    for (int c = 0; c < channelCount; ++c) sum += inputs[c][s];
    float mean = sum / static_cast<float>(channelCount);
    // A damaged sample would poison the running sums for good.
    if (!std::isfinite(mean)) mean = 0.0f;
    ring_[static_cast<std::size_t>(writeIndex_)] = mean;

    if (writeIndex_ >= 2 * N_ - 1) {
      std::copy(ring_.begin() + N_, ring_.begin() + 2 * N_, ring_.begin());
      frameStart_ -= N_;
      writeIndex_ = N_ - 1;
    }
    ++writeIndex_;

    if (writeIndex_ - frameStart_ == N_) {
      analyseFrame(state);
      frameStart_ = writeIndex_ - overlap_;
      rampRead_ = -1;
    }

    ++rampRead_;
    float speed = 0.0f;
    if (rampFilled_ > 0) speed = ramp_[static_cast<std::size_t>(std::min(rampRead_, rampFilled_ - 1))];
    for (int c = 0; c < channelCount; ++c) outputs[c][s] = speed;
  }
  return true;
}

void PilotToneTracker::analyseFrame(PilotTrackingState& state) {
  double estimate = 0.0;
  bool found = true;
  bool full = true;
  if (!(fs_ > 48000.0f)) {
    ++state.frameCounter;
    full = state.frameCounter < kFullSearchFrames;
  }
  if (full) {
    found = fullSearch(estimate);
    if (found) {
      hint_ = binOf(estimate);
    } else if (!(fs_ > 48000.0f)) {
      // Nothing to track yet: this frame does not count towards the
      // history that the tracking search relies on.
      --state.frameCounter;
    }
  } else {
    estimate = trackingSearch(state);
  }

  if (!found) {
    // No tone and nothing to compare with: nominal speed until one appears.
    const int hop = this->hop();
    std::fill(ramp_.begin(), ramp_.begin() + hop, 1.0f);
    rampFilled_ = hop;
    return;
  }
  state.history[0] = state.history[1];
  state.history[1] = state.history[2];
  state.history[2] = estimate;
  fillRamp(estimate);
}

void PilotToneTracker::fillRamp(double estimate) {
  const float f = static_cast<float>(estimate);
  if (previous_ == -1.0f) {
    reference_ = f;
    previous_ = f;
  }
  const int hop = this->hop();
  const float hopF = static_cast<float>(hop);
  for (int i = 0; i < hop; ++i) {
    ramp_[static_cast<std::size_t>(i)] = (previous_ + (f - previous_) * static_cast<float>(i) / hopF) / reference_;
  }
  rampFilled_ = hop;
  previous_ = f;
}

}  // namespace detect
