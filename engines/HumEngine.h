// One hum engine instance: its parameter values, the speed tracker stream
// and the reduced-rate preview stream. The two streams are independent;
// both are built from the parameters when first used and restarted when a
// parameter changes.
#pragma once

#include <array>
#include <memory>

#include "engines/HumParameters.h"

namespace humengine {

class HumTracker;
class HumPreview;

class HumEngine {
 public:
  // Rates the engine accepts; createPlugin refuses others.
  static bool acceptsRate(double sampleRate);

  explicit HumEngine(double sampleRate);
  ~HumEngine();
  HumEngine(const HumEngine&) = delete;
  HumEngine& operator=(const HumEngine&) = delete;

  int paramCount() const { return kParamCount; }
  // 0 for an unknown index.
  float value(int index) const;
  float display(int index) const;
  // False for an unknown index or a value that is not a number; values are
  // clamped to 0..1.
  bool setValue(int index, float value);

  // Latency of process() in input frames.
  int delay();
  // One speed per input frame into output. Inputs are mixed to mono.
  bool process(const float* const* inputs, int channels, int frames, float* output);
  // The next reduced-rate samples; final flushes the stream and ignores its input.
  bool preprocess(const float* const* inputs, int channels, int frames, int capacity, unsigned* count,
                  float* output, bool final);

 private:
  HumTracker& tracker();
  HumPreview& preview();

  double sampleRate_;
  std::array<float, kParamCount> values_;
  std::unique_ptr<HumTracker> tracker_;
  std::unique_ptr<HumPreview> preview_;
};

}  // namespace humengine
