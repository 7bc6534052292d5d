#include "analysis/SpectrogramAnalyser.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "analysis/AnalysisWindows.h"

namespace {

// Float-to-int conversion that cannot overflow: out-of-range values
// saturate and NaN becomes `nanValue`.
std::int32_t saturate(double x, std::int32_t nanValue = 0) {
  if (std::isnan(x)) return nanValue;
  if (x >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  if (x <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(x);
}

std::int32_t clampToInt32(long long x) {
  return static_cast<std::int32_t>(std::clamp<long long>(x, std::numeric_limits<std::int32_t>::min(),
                                                         std::numeric_limits<std::int32_t>::max()));
}

// Straight-line interpolation as the curve does it, in single precision.
float interpolate(float x0, float y0, float x1, float y1, float x) {
  if (x0 == x1) return y0;
  return y0 + (x - x0) * ((y1 - y0) / (x1 - x0));
}

std::size_t index(int column, int stride) {
  return static_cast<std::size_t>(column) * static_cast<std::size_t>(stride);
}

}  // namespace

SpectrogramAnalyser::SpectrogramAnalyser()
    : window_(makeAnalysisWindow(windowType_, fftLength_, bins_)) {}

SpectrogramAnalyser::~SpectrogramAnalyser() = default;

bool SpectrogramAnalyser::setSampleRate(int rate) {
  sampleRate_ = static_cast<float>(rate);
  maxFrequency_ = static_cast<float>(bins_) * sampleRate_ / static_cast<float>(fftLength_);
  refFrequency_ = maxFrequency_ / 2.0f;
  return true;
}

bool SpectrogramAnalyser::setFftLength(int n) {
  if (!HartleyFft::isValidLength(n)) return false;
  fftLength_ = n;
  bins_ = n / 2;
  maxFrequency_ = static_cast<float>(n / 2) * sampleRate_ / static_cast<float>(n);
  refFrequency_ = maxFrequency_ / 2.0f;
  window_ = makeAnalysisWindow(windowType_, fftLength_, bins_);
  return true;
}

bool SpectrogramAnalyser::setWindow(int type) {
  windowType_ = (type > maxWindowType_ || type < 0) ? kWindowHann : type;
  window_ = makeAnalysisWindow(windowType_, fftLength_, bins_);
  return true;
}

bool SpectrogramAnalyser::setColumns(int n) {
  columns_ = std::max(n, 0);
  return true;
}

bool SpectrogramAnalyser::setRows(int n) {
  rows_ = std::max(n, 1);
  return true;
}

bool SpectrogramAnalyser::setZoom(float z) {
  zoom_ = z;
  binsPerRow_ = (static_cast<float>(bins_) / static_cast<float>(rows_)) / z;
  lowBin_ = 0.0f;
  refFrequency_ = maxFrequency_ / 2.0f;
  return true;
}

bool SpectrogramAnalyser::setFrequencyRange(float f1, float f2) {
  const float low = std::min(f1, f2);
  const float high = std::max(f1, f2);
  const float w = std::fabs(std::min(high, maxFrequency_) - std::max(low, minFrequency_));
  const float n = static_cast<float>(fftLength_);
  const float perRow = static_cast<float>(bins_) / static_cast<float>(rows_);
  lowBin_ = static_cast<float>(std::floor(low * n / sampleRate_ + 0.5));
  float topBin = static_cast<float>(
      std::floor(static_cast<float>(rows_) * (perRow / (maxFrequency_ / w)) + lowBin_ + 0.5));
  // A band narrower than one bin would make the zoom infinite; show one bin.
  if (!(std::fabs(lowBin_ - topBin) >= 1.0f)) topBin = lowBin_ + 1.0f;
  const float t = std::fabs(lowBin_ - topBin) * sampleRate_ / n;
  zoom_ = maxFrequency_ / t;
  binsPerRow_ = perRow / zoom_;
  refFrequency_ = static_cast<float>(low + t / 2.0);
  return true;
}

bool SpectrogramAnalyser::setReferenceFrequency(float f) {
  refFrequency_ = f;
  return true;
}

bool SpectrogramAnalyser::setFloor(float dB) {
  floorDb_ = std::min(dB, rangeDb_ - 1.0f);
  if (floorDb_ >= ceilingDb_) ceilingDb_ = floorDb_ + 1.0f;
  return true;
}

bool SpectrogramAnalyser::setCeiling(float dB) {
  ceilingDb_ = std::max(std::min(dB, rangeDb_), 1.0f);
  if (floorDb_ >= ceilingDb_) floorDb_ = ceilingDb_ - 1.0f;
  return true;
}

bool SpectrogramAnalyser::setRange(float dB) {
  rangeDb_ = dB;
  refAmplitude_ = static_cast<float>(std::pow(10.0, -static_cast<double>(dB) / 20.0));
  return true;
}

bool SpectrogramAnalyser::allocateColumns() {
  const std::size_t c = static_cast<std::size_t>(columns_);
  fillIndex_.assign(c, 0);
  fillTarget_.assign(c, 0);
  frameStart_.assign(c, 0);
  frameEnd_.assign(c, 0);
  frames_.assign(c * static_cast<std::size_t>(fftLength_), 0.0f);
  powers_.assign(c * static_cast<std::size_t>(bins_), 0.0f);
  bufferColumns_ = columns_;
  bufferLength_ = fftLength_;
  laidOut_ = false;
  buffersReady_ = true;
  return true;
}

bool SpectrogramAnalyser::freeColumns() {
  std::vector<std::int32_t>().swap(fillIndex_);
  std::vector<std::int32_t>().swap(fillTarget_);
  std::vector<std::int32_t>().swap(frameStart_);
  std::vector<std::int32_t>().swap(frameEnd_);
  std::vector<float>().swap(frames_);
  std::vector<float>().swap(powers_);
  bufferColumns_ = 0;
  bufferLength_ = 0;
  laidOut_ = false;
  // Freed buffers are not ready, whatever the caller does next.
  buffersReady_ = false;
  return true;
}

bool SpectrogramAnalyser::buffersMatch() const {
  return buffersReady_ && bufferColumns_ == columns_ && bufferLength_ == fftLength_ &&
         static_cast<int>(window_.size()) == fftLength_;
}

bool SpectrogramAnalyser::prepare(std::int32_t from, std::int32_t to, std::int32_t limit) {
  samplesFed_ = 0;
  nextColumn_ = 0;
  lastColumn_ = 0;
  span_ = static_cast<float>(static_cast<long long>(to) - from);
  laidOut_ = false;
  if (columns_ < 2 || !buffersMatch()) return false;
  const float d = span_ / static_cast<float>(columns_ - 1);
  if (!(d > 0.0f)) return false;

  const int n = fftLength_;
  const float offset = static_cast<float>(static_cast<long long>(from) - bins_);
  for (int i = 0; i < columns_; ++i) {
    const long long s = saturate(std::floor(d * static_cast<float>(i) + offset));
    const std::int32_t start = clampToInt32(std::max<long long>(s, 0));
    const std::int32_t end = clampToInt32(std::min<long long>(limit, s + n));
    frameStart_[i] = start;
    frameEnd_[i] = end;
    const long long m = static_cast<long long>(end) - start;
    if (m < n && start == 0) {
      // Cut at the file's start: the missing samples stay zero at the front.
      fillIndex_[i] = clampToInt32(n - m);
      fillTarget_[i] = n;
    } else {
      fillIndex_[i] = 0;
      fillTarget_[i] = clampToInt32(m);
    }
    std::fill_n(frames_.begin() + static_cast<std::ptrdiff_t>(index(i, n)), n, 0.0f);
    std::fill_n(powers_.begin() + static_cast<std::ptrdiff_t>(index(i, bins_)), bins_, 0.0f);
  }
  laidOut_ = true;
  return true;
}

bool SpectrogramAnalyser::feed(float sample) {
  if (laidOut_) {
    // A frame that lies wholly before the samples fed can never fill.
    // (A frame that fills completes on its last sample, so only these are
    // ever passed over here.)
    while (nextColumn_ < columns_ && frameEnd_[nextColumn_] <= samplesFed_) ++nextColumn_;
    for (int i = nextColumn_; i < columns_; ++i) {
      if (frameStart_[i] > samplesFed_ || samplesFed_ >= frameEnd_[i]) break;
      float* frame = frames_.data() + index(i, fftLength_);
      const std::int32_t at = fillIndex_[i];
      frame[at] = sample * window_[static_cast<std::size_t>(at)];
      fillIndex_[i] = at + 1;
      if (fillIndex_[i] >= fillTarget_[i]) {
        transformColumn(i);
        lastColumn_ = i;
        return true;
      }
    }
  }
  // The count stops at its largest value rather than wrapping over.
  if (samplesFed_ < std::numeric_limits<std::int32_t>::max()) ++samplesFed_;
  return false;
}

void SpectrogramAnalyser::transformColumn(int column) {
  ++nextColumn_;
  const int n = fftLength_;
  float* f = frames_.data() + index(column, n);
  float* p = powers_.data() + index(column, bins_);
  transform_.realFft(f, n);
  p[0] = f[0] * f[0];
  f[0] = std::fabs(f[0]) / refAmplitude_;
  for (int k = 1; k < bins_; ++k) {
    const float power = f[k] * f[k] + f[n - k] * f[n - k];
    p[k] = power;
    const float a = std::sqrt(power) / refAmplitude_;
    f[k] = a > 1.0f ? static_cast<float>(20.0 * std::log10(static_cast<double>(a))) : 0.0f;
  }
}

bool SpectrogramAnalyser::columnReady(int column) const {
  return column >= 0 && column < columns_ && buffersMatch();
}

PowerRows SpectrogramAnalyser::powers() const {
  if (!buffersMatch()) return {};
  return PowerRows(powers_, columns_, bins_);
}

std::span<const float> SpectrogramAnalyser::frame(int column) const {
  if (!columnReady(column)) return {};
  return std::span<const float>(frames_).subspan(index(column, fftLength_),
                                                 static_cast<std::size_t>(fftLength_));
}

std::int32_t SpectrogramAnalyser::frameStart(int column) const {
  return columnReady(column) ? frameStart_[column] : 0;
}
std::int32_t SpectrogramAnalyser::frameEnd(int column) const {
  return columnReady(column) ? frameEnd_[column] : 0;
}
std::int32_t SpectrogramAnalyser::fillIndex(int column) const {
  return columnReady(column) ? fillIndex_[column] : 0;
}
std::int32_t SpectrogramAnalyser::fillTarget(int column) const {
  return columnReady(column) ? fillTarget_[column] : 0;
}

float SpectrogramAnalyser::frequencyOfRow(int row) const {
  const int r = std::clamp(row, 0, rows_);
  const float n = static_cast<float>(fftLength_);
  return lowBin_ * sampleRate_ / n +
         static_cast<float>(rows_ - r) * (sampleRate_ / n) * binsPerRow_;
}

int SpectrogramAnalyser::binOfRow(int row) const {
  const float x = static_cast<float>(static_cast<long long>(rows_) - row) * binsPerRow_;
  return saturate(std::floor(x + 0.5 + lowBin_));
}

int SpectrogramAnalyser::rowForRatio(float ratio) const {
  return rowForFrequency(ratio, refFrequency_);
}

int SpectrogramAnalyser::rowForFrequency(float ratio, float base) const {
  const float bin = static_cast<float>(fftLength_) * (ratio * base) / sampleRate_;
  const double r = std::floor((bin - lowBin_) / binsPerRow_ + 0.5);
  // A ratio that maps nowhere (no rows yet, NaN) lands on the bottom row.
  return saturate(static_cast<double>(rows_) - r, rows_);
}

float SpectrogramAnalyser::ratioForFrequency(float f) const {
  if (refFrequency_ == 0.0f) return 0.0f;
  return f / refFrequency_;
}

std::int32_t SpectrogramAnalyser::sampleOfColumn(int column) const {
  if (columns_ <= 0 || !buffersMatch()) return 0;
  if (column < 0) return clampToInt32(static_cast<long long>(frameStart_[0]) + 1);
  if (column >= columns_) return clampToInt32(static_cast<long long>(frameEnd_[columns_ - 1]) - 2);
  const long long m = static_cast<long long>(frameEnd_[column]) - frameStart_[column];
  const long long half = static_cast<long long>(std::floor(static_cast<double>(m) / 2.0 + 0.5));
  return clampToInt32(frameStart_[column] + half);
}

int SpectrogramAnalyser::columnSpan(int from, int to) const {
  return std::max(0, std::min(to, columns_ - 1) - std::max(from, 0));
}

float SpectrogramAnalyser::levelPercent(float dB) const {
  if (std::isnan(dB)) return 0.0f;
  const float p = (std::clamp(dB, floorDb_, ceilingDb_) - floorDb_) / (ceilingDb_ - floorDb_) * 100.0f;
  return std::isnan(p) ? 0.0f : p;
}

// Level of one bin of a transformed column. The display's top row can ask
// for the entry at index `bins`, which holds the raw Nyquist value rather
// than a level: reads are kept to the levels, so that row repeats the top
// bin's level. Reads below bin 0 (a band starting below 0 Hz) show bin 0.
float SpectrogramAnalyser::level(int column, long long bin) const {
  const long long k = std::clamp<long long>(bin, 0, bins_ - 1);
  return frames_[index(column, fftLength_) + static_cast<std::size_t>(k)];
}

// Largest level of bins lo .. hi - 1, starting from 0. Bins beyond the
// levels read as their nearest level, so only existing bins are visited.
float SpectrogramAnalyser::bandMaximum(int column, long long lo, long long hi) const {
  const long long first = std::clamp<long long>(lo, 0, bins_ - 1);
  const long long last = std::max(std::min<long long>(hi, bins_), first + 1);
  float value = 0.0f;
  for (long long k = first; k < last; ++k) value = std::max(value, level(column, k));
  return value;
}

float SpectrogramAnalyser::levelAt(int column, int row) const {
  if (row < 0 || row >= rows_ || !columnReady(column)) return 0.0f;
  const float up = static_cast<float>(rows_ - row);
  float value = 0.0f;
  if (binsPerRow_ >= 1.0f) {
    const long long lo = saturate(std::floor(up * binsPerRow_ + 0.5 + lowBin_));
    const long long hi = saturate(std::floor((up + 1.0f) * binsPerRow_ + 0.5 + lowBin_));
    if (lo == hi) {
      value = level(column, lo);
    } else {
      value = bandMaximum(column, lo, hi);
    }
  } else {
    const float e = up * binsPerRow_ + lowBin_;
    long long top = saturate(std::floor((up + 1.0f) * binsPerRow_ + lowBin_));
    if (top >= bins_) top = bins_ - 1;
    const long long g = saturate(std::floor(e));
    if (top > g) {
      value = level(column, top);
    } else {
      const float x0 = static_cast<float>(g);
      value = interpolate(x0, level(column, g), x0 + 1.0f, level(column, g + 1), e);
    }
  }
  return levelPercent(value);
}

float SpectrogramAnalyser::levelAtLog(int column, int row) {
  binWidth_ = sampleRate_ / static_cast<float>(fftLength_);
  const float top = topFrequency();
  if (row < 0 || row >= rows_ || !columnReady(column)) return 0.0f;
  float base = lowBin_ * binWidth_;
  if (base < 1.0f) base = 1.0f;
  const double perOctave = static_cast<double>(rows_) / (std::log10(static_cast<double>(top - base)) / std::log10(2.0));
  const auto frequency = [&](int r) { return base + std::pow(2.0, r / perOctave); };
  const double width = binWidth_;
  const int up = rows_ - row;
  float value = 0.0f;
  if (binsPerRow_ >= 1.0f) {
    const long long lo = std::max(saturate(std::floor(frequency(up) / width + 0.5)), 1);
    const long long hi = std::max(saturate(std::floor(frequency(up + 1) / width + 0.5)), 1);
    if (lo == hi) {
      value = level(column, lo);
    } else {
      value = bandMaximum(column, lo, hi);
    }
  } else {
    float x = static_cast<float>(frequency(up - 1) / width);
    if (!(x >= 1.0f)) x = 1.0f;
    long long top = std::max(saturate(std::floor(frequency(up) / width)), 1);
    if (top >= bins_) top = bins_ - 1;
    const long long g = saturate(std::floor(x));
    if (top > g) {
      value = level(column, top);
    } else {
      const float x0 = static_cast<float>(g);
      value = interpolate(x0, level(column, g), x0 + 1.0f, level(column, g + 1), x);
    }
  }
  return levelPercent(value);
}
