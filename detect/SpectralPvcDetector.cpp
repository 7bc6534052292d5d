#include "detect/SpectralPvcDetector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/AnalysisWindows.h"
#include "detect/BoundedCopy.h"
#include "detect/DetectorMath.h"

namespace detect {

namespace {
constexpr std::array<const char*, SpectralPvcDetector::kNumParams> kNames = {"FFT Length", "Overlap", "Confidence"};
constexpr std::array<const char*, SpectralPvcDetector::kNumParams> kLabels = {"smpl", "%", "%"};
constexpr std::array<float, SpectralPvcDetector::kNumParams> kDefaults = {0.25f, 0.6f, 0.0f};
}  // namespace

SpectralPvcDetector::SpectralPvcDetector() {
  for (int i = 0; i < kNumParams; ++i) setParamValue(i, kDefaults[static_cast<std::size_t>(i)]);
}

int SpectralPvcDetector::getNumParams() { return kNumParams; }

float SpectralPvcDetector::getParamValue(int index) {
  if (index < 0 || index >= kNumParams) return 0.0f;
  return values_[static_cast<std::size_t>(index)];
}

bool SpectralPvcDetector::setParamValue(int index, float value) {
  if (index < 0 || index >= kNumParams) return true;
  const float v = clampUnit(value);
  values_[static_cast<std::size_t>(index)] = v;
  if (index == 0) setLength(v);
  if (index == 1) setOverlap(v);
  return true;
}

void SpectralPvcDetector::setLength(float v) {
  N_ = std::clamp(1 << std::clamp(roundHalfUp(8.0f + 4.0f * v), 8, 12), kMinLength, kMaxLength);
  setOverlap(values_[1]);
}

void SpectralPvcDetector::setOverlap(float v) {
  overlap_ = std::clamp(roundHalfUp(v * static_cast<float>(N_) * kOverlapCeiling), 0, N_ - 1);
}

float SpectralPvcDetector::getParamValueDisp(int index) {
  switch (index) {
    case 0: return static_cast<float>(N_);
    case 1: return static_cast<float>(roundHalfUp(values_[1] * 100.0f * kOverlapCeiling));
    case 2: return values_[2];
    default: return 0.0f;
  }
}

bool SpectralPvcDetector::getParamName(int index, char* buffer) {
  if (index >= 0 && index < kNumParams) copyBounded(kNames[static_cast<std::size_t>(index)], buffer);
  return true;
}

bool SpectralPvcDetector::getParamLabel(int index, char* buffer) {
  if (index >= 0 && index < kNumParams) copyBounded(kLabels[static_cast<std::size_t>(index)], buffer);
  return true;
}

bool SpectralPvcDetector::beginRun(int sampleRate, float bandLow, float bandHigh, int totalFrames) {
  runN_ = N_;
  runM_ = 8 * N_;
  runOverlap_ = overlap_;
  fs_ = sampleRate;
  bandLow_ = bandLow;
  bandHigh_ = bandHigh;
  const int hop = runN_ - runOverlap_;
  // A range shorter than a frame has no frame to analyse: no points, rather
  // than a count of zero, one or less.
  const double frames = std::ceil(double(totalFrames - runN_) / hop + 1.0);
  K_ = totalFrames >= runN_ && sampleRate > 0 ? static_cast<int>(std::min(frames, 2147483647.0)) : 0;

  ring_.assign(static_cast<std::size_t>(2 * runN_), 0.0f);
  writeIndex_ = 0;
  readIndex_ = -1;
  frameStart_ = 0;

  const std::size_t M = static_cast<std::size_t>(runM_);
  binFrequency_.assign(M / 2 + 1, 0.0f);
  for (std::size_t k = 0; k <= M / 2; ++k) binFrequency_[k] = static_cast<float>(double(fs_) * double(k) / double(M));
  // Candidates reach a little above the band, never past half the rate.
  limit_ = std::min(bandHigh_ + kLimitAboveBand, static_cast<float>(fs_) / 2.0f);
  lastBin_ = 1;
  while (lastBin_ < runM_ / 2 && binFrequency_[static_cast<std::size_t>(lastBin_)] < limit_) ++lastBin_;
  window_ = makeHammingWindow(runN_);
  double sum = 0.0;
  for (float w : window_) sum += w;
  windowSum_ = static_cast<float>(sum);
  re_.assign(M, 0.0f);
  im_.assign(M, 0.0f);
  level_.assign(M, 0.0f);
  phase_.assign(M, 0.0f);
  previousPhase_.assign(M, 0.0f);
  bandMean_ = kEmptyBandLevel;

  candidates_.clear();
  selected_.clear();
  table_.reset(SpectralTrackTable::kInitialCapacity);
  started_ = false;
  frameIndex_ = -1;
  families_.clear();
  positions_.clear();
  pointValues_.clear();
  runReady_ = true;
  return true;
}

bool SpectralPvcDetector::process(int frameCount, int channelCount, const float* const* inputs,
                                  float* const* outputs) {
  if (frameCount <= 0 || channelCount <= 0) return true;
  for (int s = 0; s < frameCount; ++s) {
    if (outputs) {
      for (int c = 0; c < channelCount; ++c) outputs[c][s] = 1.0f;
    }
    if (!runReady_ || !inputs) continue;
    float sum = 0.0f;
    for (int c = 0; c < channelCount; ++c) sum += inputs[c][s];
    float mean = sum / static_cast<float>(channelCount);
    if (!std::isfinite(mean)) mean = 0.0f;
    ring_[static_cast<std::size_t>(writeIndex_)] = mean;
    if (writeIndex_ >= 2 * runN_ - 1) {
      std::copy(ring_.begin() + runN_, ring_.begin() + 2 * runN_, ring_.begin());
      frameStart_ -= runN_;
      writeIndex_ = runN_ - 1;
    }
    ++writeIndex_;
    if (writeIndex_ - frameStart_ == runN_) {
      // Frames past the run's count have no place in the tables.
      if (frameIndex_ + 1 < K_) analyseFrame();
      frameStart_ = writeIndex_ - runOverlap_;
    }
  }
  return true;
}

void SpectralPvcDetector::collectTracks() {
  families_.clear();
  if (!runReady_) return;
  families_.collect(table_.tracks(), K_, bandHigh_);
}

void SpectralPvcDetector::buildCurve() {
  const int hop = runN_ - runOverlap_;
  positions_.assign(static_cast<std::size_t>(K_), 0);
  for (int i = 0; i < K_; ++i) positions_[static_cast<std::size_t>(i)] = i * hop + runN_ / 2;
  if (families_.count() > 0 && families_.frames() == K_) {
    pointValues_ = families_.curve();
  } else {
    pointValues_.assign(static_cast<std::size_t>(K_), 1.0f);
  }
}

void SpectralPvcDetector::setConfidence(float x) { families_.setConfidence(x); }

float SpectralPvcDetector::value(int i) const {
  if (i < 0 || i >= pointCount()) return 1.0f;
  return pointValues_[static_cast<std::size_t>(i)];
}

int SpectralPvcDetector::position(int i) const {
  if (positions_.empty()) return 0;
  if (i < 0) i = 0;
  if (i >= pointCount()) i = pointCount() - 1;
  return positions_[static_cast<std::size_t>(i)];
}

float SpectralPvcDetector::familyFrequency(int family, int frame) const {
  if (family < 0 || family >= families_.count() || frame < 0 || frame >= pointCount()) return -1.0f;
  if (!families_.enabled(family, frame)) return -1.0f;
  return families_.smoothed(family, frame);
}

}  // namespace detect
