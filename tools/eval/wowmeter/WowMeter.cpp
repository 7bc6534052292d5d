#include "tools/eval/wowmeter/WowMeter.h"

#include <fftw3.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>

namespace wowmeter {

namespace {

// The smallest length of the form 2^a 3^b 5^c that holds n: fast for FFTW.
std::size_t transformLength(std::size_t n) {
  std::size_t best = 1;
  while (best < n) best *= 2;
  for (std::size_t p5 = 1; p5 < best; p5 *= 5)
    for (std::size_t p35 = p5; p35 < best; p35 *= 3) {
      std::size_t m = p35;
      while (m < n) m *= 2;
      best = std::min(best, m);
    }
  return best;
}

struct FftwFree {
  void operator()(void* p) const { fftw_free(p); }
};
template <typename T>
using FftwBuffer = std::unique_ptr<T[], FftwFree>;

template <typename T>
FftwBuffer<T> allocate(std::size_t n) {
  return FftwBuffer<T>(static_cast<T*>(fftw_malloc(sizeof(T) * n)));
}

}  // namespace

bool speedDeviation(const std::vector<float>& signal, double sampleRate, const MeterSettings& settings,
                    std::vector<double>& deviation, std::vector<double>& amplitude, std::string& problem) {
  deviation.clear();
  amplitude.clear();
  const std::size_t n = signal.size();
  if (n < 16 || !(sampleRate > 0.0)) {
    problem = "the recording is too short";
    return false;
  }
  if (!(settings.tone > 0.0) || settings.tone * (1.0 + settings.band) >= sampleRate / 2.0) {
    problem = "the tone must lie below half the sample rate";
    return false;
  }
  if (!(settings.band > 0.0 && settings.band < 0.5)) {
    problem = "the band must be above 0 and below 50 %";
    return false;
  }
  const std::size_t m = transformLength(n);
  if (m > 0x7FFFFFFF) {
    problem = "the recording is too long for one transform";
    return false;
  }
  auto real = allocate<double>(m);
  auto spectrum = allocate<fftw_complex>(m / 2 + 1);
  auto analytic = allocate<fftw_complex>(m);
  std::fill(real.get(), real.get() + m, 0.0);
  std::copy(signal.begin(), signal.end(), real.get());

  fftw_plan forward = fftw_plan_dft_r2c_1d(static_cast<int>(m), real.get(), spectrum.get(), FFTW_ESTIMATE);
  fftw_execute(forward);
  fftw_destroy_plan(forward);

  // Pass band with raised-cosine flanks a quarter of its half-width wide;
  // positive frequencies only, doubled: the analytic signal of the tone.
  const double centre = settings.tone;
  const double half = settings.band * centre;
  const double flank = 0.25 * half;
  const double binHz = sampleRate / static_cast<double>(m);
  for (std::size_t k = 0; k < m; ++k) analytic[k][0] = analytic[k][1] = 0.0;
  for (std::size_t k = 1; k <= m / 2; ++k) {
    const double offset = std::fabs(static_cast<double>(k) * binHz - centre);
    if (offset >= half + flank) continue;
    const double w = offset <= half ? 1.0 : 0.5 * (1.0 + std::cos(std::numbers::pi * (offset - half) / flank));
    analytic[k][0] = 2.0 * w * spectrum[k][0] / static_cast<double>(m);
    analytic[k][1] = 2.0 * w * spectrum[k][1] / static_cast<double>(m);
  }
  fftw_plan backward = fftw_plan_dft_1d(static_cast<int>(m), analytic.get(), analytic.get(), FFTW_BACKWARD, FFTW_ESTIMATE);
  fftw_execute(backward);
  fftw_destroy_plan(backward);

  // The phase step between neighbours, taken from their product so that no
  // unwrapping is needed.
  const double toRatio = sampleRate / (2.0 * std::numbers::pi * centre);
  deviation.resize(n - 1);
  amplitude.resize(n - 1);
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const std::complex<double> a(analytic[i][0], analytic[i][1]);
    const std::complex<double> b(analytic[i + 1][0], analytic[i + 1][1]);
    deviation[i] = std::arg(b * std::conj(a)) * toRatio - 1.0;
    amplitude[i] = 0.5 * (std::abs(a) + std::abs(b));
  }
  return true;
}

bool measureWow(const std::vector<float>& signal, double sampleRate, const MeterSettings& settings,
                WowReading& reading, std::string& problem) {
  reading = {};
  std::vector<double> deviation, amplitude;
  if (!speedDeviation(signal, sampleRate, settings, deviation, amplitude, problem)) return false;
  const auto edge = static_cast<std::size_t>(std::max(0.0, settings.edge) * sampleRate);
  if (deviation.size() <= 2 * edge + 1) {
    problem = "nothing is left to measure between the edges";
    return false;
  }
  const std::size_t from = edge;
  const std::size_t to = deviation.size() - edge;

  // Where the tone all but vanishes its phase means nothing.
  double power = 0.0;
  for (std::size_t i = from; i < to; ++i) power += amplitude[i] * amplitude[i];
  const double threshold = 0.1 * std::sqrt(power / static_cast<double>(to - from));
  double sum = 0.0, squares = 0.0, peak = 0.0;
  long long used = 0, skipped = 0;
  for (std::size_t i = from; i < to; ++i) {
    if (!(amplitude[i] > threshold) || !(amplitude[i] > 1e-9)) {
      ++skipped;
      continue;
    }
    const double d = deviation[i];
    sum += d;
    squares += d * d;
    peak = std::max(peak, std::fabs(d));
    ++used;
  }
  if (used == 0 || skipped * 2 > used) {
    problem = "no steady tone near " + std::to_string(settings.tone) + " Hz";
    return false;
  }
  reading.mean = sum / static_cast<double>(used);
  reading.rms = std::sqrt(squares / static_cast<double>(used));
  double spread = 0.0;
  for (std::size_t i = from; i < to; ++i)
    if (amplitude[i] > threshold && amplitude[i] > 1e-9) spread += (deviation[i] - reading.mean) * (deviation[i] - reading.mean);
  reading.rmsAc = std::sqrt(spread / static_cast<double>(used));
  reading.peak = peak;
  reading.samples = used;
  reading.skipped = skipped;
  return true;
}

}  // namespace wowmeter
