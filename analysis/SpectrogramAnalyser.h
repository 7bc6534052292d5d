// Turns a stretch of audio into a fixed number of spectrogram columns, one
// windowed FFT frame per column, and maps between screen rows and columns,
// frequencies, samples and speed ratios for the editor and the curve.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "analysis/HartleyFft.h"
#include "analysis/PowerRows.h"

class SpectrogramAnalyser {
 public:
  SpectrogramAnalyser();
  virtual ~SpectrogramAnalyser();
  SpectrogramAnalyser(const SpectrogramAnalyser&) = delete;
  SpectrogramAnalyser& operator=(const SpectrogramAnalyser&) = delete;

  // Configuration.
  bool setSampleRate(int rate);
  // Accepts the transform's lengths only (powers of two, 4 to 131072);
  // anything else is refused with false and changes nothing. The window is
  // rebuilt for the new length; the caller reallocates the columns.
  bool setFftLength(int n);
  bool setWindow(int type);
  bool setColumns(int n);
  bool setRows(int n);
  bool setZoom(float z);
  bool setFrequencyRange(float f1, float f2);
  bool setReferenceFrequency(float f);
  bool setFloor(float dB);
  bool setCeiling(float dB);
  bool setRange(float dB);
  bool allocateColumns();
  bool freeColumns();

  // Analysis.
  bool prepare(std::int32_t from, std::int32_t to, std::int32_t limit);
  bool feed(float sample);

  // Fields.
  std::int32_t lastColumn() const { return lastColumn_; }
  std::int32_t nextColumn() const { return nextColumn_; }
  std::int32_t samplesFed() const { return samplesFed_; }
  int columns() const { return columns_; }
  int rows() const { return rows_; }
  int fftLength() const { return fftLength_; }
  int bins() const { return bins_; }
  int windowType() const { return windowType_; }
  int maxWindowType() const { return maxWindowType_; }
  float sampleRate() const { return sampleRate_; }
  float minFrequency() const { return minFrequency_; }
  float maxFrequency() const { return maxFrequency_; }
  float refFrequency() const { return refFrequency_; }
  float span() const { return span_; }
  float floorDb() const { return floorDb_; }
  float ceilingDb() const { return ceilingDb_; }
  float rangeDb() const { return rangeDb_; }
  float refAmplitude() const { return refAmplitude_; }
  float binsPerRow() const { return binsPerRow_; }
  float zoom() const { return zoom_; }
  float lowBin() const { return lowBin_; }
  float binWidth() const { return binWidth_; }
  bool buffersReady() const { return buffersReady_; }
  const HartleyFft& transform() const { return transform_; }
  std::span<const float> window() const { return window_; }

  // Per-column state; the frame/level queries are empty and the integer
  // ones 0 for a column without buffers.
  PowerRows powers() const;
  // The column's frame: windowed samples while filling, then its levels
  // (entries 0 .. bins - 1; entry 0 is an amplitude ratio, the rest dB).
  std::span<const float> frame(int column) const;
  std::int32_t frameStart(int column) const;
  std::int32_t frameEnd(int column) const;
  std::int32_t fillIndex(int column) const;
  std::int32_t fillTarget(int column) const;

  // Mappings.
  float frequencyOfRow(int row) const;
  float bottomFrequency() const { return frequencyOfRow(rows_); }
  float topFrequency() const { return frequencyOfRow(0); }
  int binOfRow(int row) const;
  int rowForRatio(float ratio) const;
  int rowForFrequency(float ratio, float base) const;
  float ratioForFrequency(float f) const;
  std::int32_t sampleOfColumn(int column) const;
  int columnSpan(int from, int to) const;

  // Levels to paint, 0 .. 100.
  float levelPercent(float dB) const;
  float levelAt(int column, int row) const;
  float levelAtLog(int column, int row);

 private:
  bool buffersMatch() const;
  bool columnReady(int column) const;
  float level(int column, long long bin) const;
  float bandMaximum(int column, long long lo, long long hi) const;
  void transformColumn(int column);

  HartleyFft transform_;
  float minFrequency_ = 0.0f;
  float maxFrequency_ = 22050.0f;
  float sampleRate_ = 44100.0f;
  float span_ = 0.0f;
  int fftLength_ = 1024;
  int bins_ = 512;
  int windowType_ = 2;
  int maxWindowType_ = 2;
  std::int32_t nextColumn_ = 0;
  std::int32_t lastColumn_ = 0;
  float floorDb_ = 20.0f;
  float ceilingDb_ = 120.0f;
  float rangeDb_ = 120.0f;
  std::vector<std::int32_t> fillIndex_;
  std::vector<std::int32_t> fillTarget_;
  std::vector<std::int32_t> frameStart_;
  std::vector<std::int32_t> frameEnd_;
  std::int32_t samplesFed_ = 0;
  std::vector<float> frames_;  // columns x fftLength, one after the other
  std::vector<float> powers_;  // columns x bins
  std::vector<float> window_;
  int columns_ = 0;
  int rows_ = 1;
  float binsPerRow_ = 0.0f;
  float zoom_ = 1.0f;
  float lowBin_ = 0.0f;
  float refAmplitude_ = 1e-6f;
  float refFrequency_ = 11025.0f;
  bool buffersReady_ = false;
  float binWidth_ = 43.066406f;
  // Geometry the buffers were allocated for; feeding and level reads use
  // the buffers only while it matches the configuration.
  int bufferColumns_ = 0;
  int bufferLength_ = 0;
  bool laidOut_ = false;  // prepare has laid the frames out
};
