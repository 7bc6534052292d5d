// Engine of the spectral-domain algorithm. Finds the speed variation of a
// recording from its own tonal content: follows spectral peaks (partials)
// from frame to frame inside a frequency band, groups the tracks into
// families that share a frequency range, expresses each family's frequency
// relative to its median, and for each frame takes the family with the most
// reliable track there. One speed value per analysis frame.
//
// A run is beginRun, process over the whole range, collectTracks and
// buildCurve; the results stay until the next beginRun, so confidence can be
// applied and the curve rebuilt without reading the audio again.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "analysis/HartleyFft.h"
#include "detect/SpectralFamilies.h"
#include "detect/SpectralTrackTable.h"

namespace detect {

class SpectralPvcDetector {
 public:
  static constexpr int kNumParams = 3;
  static constexpr int kMinLength = 256;
  static constexpr int kMaxLength = 4096;
  static constexpr float kOverlapCeiling = 0.8f;
  static constexpr float kMatchFrequency = 100.0f;  // Hz
  static constexpr float kMatchPhase = 0.8f;
  static constexpr float kEmptyBandLevel = -40.0f;  // dB
  static constexpr float kLimitAboveBand = 500.0f;  // Hz

  SpectralPvcDetector();
  virtual ~SpectralPvcDetector() = default;
  SpectralPvcDetector(const SpectralPvcDetector&) = delete;
  SpectralPvcDetector& operator=(const SpectralPvcDetector&) = delete;

  virtual int getNumParams();
  virtual float getParamValue(int index);
  virtual bool setParamValue(int index, float value);
  virtual float getParamValueDisp(int index);
  virtual bool getParamName(int index, char* buffer);
  virtual bool getParamLabel(int index, char* buffer);

  // Starts a run over `totalFrames` samples at `sampleRate`, looking for
  // partials between bandLow and bandHigh (Hz). The frame geometry in force
  // now holds for the whole run.
  bool beginRun(int sampleRate, float bandLow, float bandHigh, int totalFrames);
  // Feeds samples (channels averaged); writes 1.0 to every output sample.
  bool process(int frameCount, int channelCount, const float* const* inputs, float* const* outputs);
  void collectTracks();
  void buildCurve();
  // Enables each family frame whose weight reaches x; ignored outside 0..1.
  void setConfidence(float x);

  int pointCount() const { return static_cast<int>(positions_.size()); }
  float value(int i) const;
  int position(int i) const;
  int familyCount() const { return families_.count(); }
  int frameCount() const { return K_; }
  // Smoothed frequency of a family at a frame; -1 when there is none, the
  // frame is disabled, or either index is out of range.
  float familyFrequency(int family, int frame) const;

  // Settings in force for the next run.
  int fftLength() const { return N_; }
  int overlap() const { return overlap_; }
  int hop() const { return N_ - overlap_; }
  // What the current run has seen.
  int analysedFrames() const { return frameIndex_ + 1; }
  float bandMeanLevel() const { return bandMean_; }
  bool started() const { return started_; }
  const SpectralTrackTable& trackTable() const { return table_; }

 private:
  struct Candidate {
    int bin;
    bool free;
    int selected;  // index into selected_, -1 when not selected
  };
  struct Selected {
    int candidate;
    bool assigned;
  };

  void setLength(float v);
  void setOverlap(float v);
  void analyseFrame();
  void findPeaks();
  bool matchTrack(const TrackPoint& previous, int& taken) const;
  void takeCandidate(int candidate);
  TrackPoint pointAt(int bin) const;

  std::array<float, kNumParams> values_{};
  int N_ = 512;
  int overlap_ = 0;

  // The run's geometry and band.
  int runN_ = 0;
  int runM_ = 0;
  int runOverlap_ = 0;
  int fs_ = 0;
  float bandLow_ = 0.0f;
  float bandHigh_ = 0.0f;
  int K_ = 0;
  bool runReady_ = false;

  std::vector<float> ring_;
  int writeIndex_ = 0;
  int readIndex_ = -1;
  int frameStart_ = 0;

  std::vector<float> window_;
  float windowSum_ = 1.0f;
  std::vector<float> binFrequency_;
  std::vector<float> re_;
  std::vector<float> im_;
  std::vector<float> level_;
  std::vector<float> phase_;
  std::vector<float> previousPhase_;
  float limit_ = 0.0f;  // candidates lie below this frequency
  int lastBin_ = 1;     // highest bin given a level and phase
  float bandMean_ = kEmptyBandLevel;
  HartleyFft fft_;

  std::vector<Candidate> candidates_;
  std::vector<Selected> selected_;
  SpectralTrackTable table_;
  bool started_ = false;
  int frameIndex_ = -1;

  SpectralFamilies families_;
  std::vector<int> positions_;
  std::vector<float> pointValues_;
};

}  // namespace detect
