// Engine of the high-frequency pilot tone algorithm. Follows a steady tone
// high in the spectrum frame by frame and turns its frequency into a
// relative playback speed: the tone's frequency over its frequency in the
// first analysed frame. Fed sample by sample; one speed per input sample.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "analysis/HartleyFft.h"
#include "detect/SpectralWeights.h"
#include "detect/SpectrumSmoother.h"

namespace detect {

// Tracking state that the detection pass owns and hands to every call.
struct PilotTrackingState {
  unsigned frameCounter = 0;
  unsigned stableCounter = 0;
  // Last three estimates in Hz, oldest first.
  std::array<double, 3> history{};
};

class PilotToneTracker {
 public:
  static constexpr int kNumParams = 6;
  static constexpr int kCapacity = 8192;
  static constexpr int kMinLength = 512;
  static constexpr float kOverlapCeiling = 0.75f;
  static constexpr int kTimeSmoothCeiling = 16;
  static constexpr int kFreqSmoothCeiling = 8;
  static constexpr int kEmphasisCeiling = 5;
  // Full searches at the start of a pass before tracking takes over.
  static constexpr unsigned kFullSearchFrames = 10;

  explicit PilotToneTracker(float sampleRate);
  virtual ~PilotToneTracker() = default;
  PilotToneTracker(const PilotToneTracker&) = delete;
  PilotToneTracker& operator=(const PilotToneTracker&) = delete;

  virtual int getNumParams();
  virtual float getParamValueDisp(int index);
  virtual float getParamValue(int index);
  virtual bool setParamValue(int index, float value);
  virtual bool getParamName(int index, char* buffer);
  virtual bool getParamLabel(int index, char* buffer);
  virtual int getDelay();

  // Writes one speed per input frame to every output channel; 0 before the
  // first analysed frame.
  bool process(int frameCount, int channelCount, const float* const* inputs, float* const* outputs,
               PilotTrackingState& state);

  float sampleRate() const { return fs_; }
  float bandFloor() const { return fmin_; }
  int fftLength() const { return N_; }
  int overlap() const { return overlap_; }
  int hop() const { return N_ - overlap_; }
  int lowestBin() const { return L_; }
  int emphasisOrder() const { return weights_.order(); }
  int timeLength() const { return smoother_.length(); }
  int freqWidth() const { return smoother_.width(); }
  int bottomMargin() const { return margin_; }
  // The frequency that speed 1.0 stands for; 0 before the first estimate.
  float referenceFrequency() const { return reference_; }

 private:
  int bins() const { return N_ / 2 + 1; }
  double binOf(double hz) const { return hz * (N_ + 2) / fs_; }
  double freqOf(double bin) const { return bin * fs_ / (N_ + 2); }

  void setLength(float v);
  void setOverlap(float v);
  void resetRing();
  void analyseFrame(PilotTrackingState& state);
  void fillRamp(double estimate);

  // Windowed transform and weighted magnitudes of the current frame; bins
  // below `floorBins` are cleared before the weights.
  void commonSpectrum(int floorBins);
  // Squares twice, then smooths across frequency and time; the result is
  // back in bins 0..N/2.
  void finishSpectrum();
  // False when the frame gives no estimate at all (no peak and no reference).
  bool fullSearch(double& estimate);
  double trackingSearch(PilotTrackingState& state);

  std::array<float, kNumParams> values_{};
  float fs_;
  float fmin_;
  int N_ = 1024;
  int overlap_ = 0;
  int L_ = 0;
  int margin_ = 84;

  std::vector<float> ring_;
  int writeIndex_ = 0;
  int frameStart_ = 0;

  std::vector<float> ramp_;
  int rampRead_ = -1;
  int rampFilled_ = 0;

  float reference_ = 0.0f;
  float previous_ = -1.0f;
  double hint_ = 0.0;

  std::vector<float> work_;
  std::vector<double> spectrum_;
  HartleyFft fft_;
  SpectrumSmoother smoother_;
  SpectralWeights weights_{kEmphasisCeiling};
};

}  // namespace detect
