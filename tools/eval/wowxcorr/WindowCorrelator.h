// The lag between a window of one signal and a stretch of another, by a
// whitened (phase-transform) cross-correlation over a band: whitening gives a
// sharp peak on any content, music or speech, and the band keeps rumble and
// the top octave's noise out. The peak is placed between lags by Newton
// steps on the band-limited correlation itself, which has no bias, unlike a
// parabola through three lags.
#pragma once

#include <fftw3.h>

#include <memory>
#include <vector>

namespace wowxcorr {

struct LagReading {
  bool found = false;
  double lag = 0.0;      // samples: window[n] matches reference[n + lag]
  double quality = 0.0;  // the whitened peak, 0 to 1 (1: the same signal)
  // The next highest peak at least a cycle of the band's top away, over the
  // peak: near 1 when a periodic note matches itself a period away too.
  double ambiguity = 0.0;
};

class WindowCorrelator {
 public:
  // window: samples of the first signal; maxLag: the search on either side.
  // Band edges in Hz; above 0.45 of the rate is never used.
  WindowCorrelator(int window, int maxLag, double sampleRate, double lowHz, double highHz);
  ~WindowCorrelator();
  WindowCorrelator(const WindowCorrelator&) = delete;
  WindowCorrelator& operator=(const WindowCorrelator&) = delete;

  int window() const { return window_; }
  int maxLag() const { return maxLag_; }
  // x: window() samples; ref: window() + 2 maxLag() samples, ref[maxLag()]
  // lining up with x[0] at lag 0. sameWindow: only the stretch of ref that
  // lines up with x, under the same taper, takes part; for lags small
  // against the window this has no bias from the content (a window against
  // a longer stretch has: its peak need not be where the signals match).
  LagReading measure(const float* x, const float* ref, bool sameWindow = false);

 private:
  struct PlanDeleter {
    void operator()(fftw_plan_s* p) const { fftw_destroy_plan(p); }
  };
  double correlationAt(double lag, double* slope, double* curve) const;

  int window_, maxLag_, size_;
  int separation_;  // samples: how far a second peak must lie to be another
  std::vector<double> taper_;   // Hann window over x
  std::vector<double> weight_;  // the band, with soft edges, per bin
  double* time_;
  fftw_complex* spectrumX_;
  fftw_complex* spectrumR_;
  std::vector<double> crossRe_, crossIm_;  // whitened, banded cross spectrum
  std::vector<double> correlation_;
  std::unique_ptr<fftw_plan_s, PlanDeleter> forward_, backward_;
};

}  // namespace wowxcorr
