// The two-stage hum pass: the spectrogram shows the file reduced by the
// outside library to the hum's low band, then a fresh engine instance finds
// the curve, which is drawn between the edges of the tracked band.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "plugin/BlockReader.h"
#include "plugin/DetectionFrame.h"
#include "plugin/EditorLink.h"
#include "plugin/OfflineEffect.h"
#include "plugin/Passes.h"

namespace {

constexpr int kBlock = 8192;
constexpr int kPreviewFftLength = 128;
constexpr int kPreviewWindow = 2;

// Engine parameters the pass reads in display units.
constexpr int kReducedRate = 2;
constexpr int kBandLow = 3;
constexpr int kBandHigh = 4;
constexpr int kNominal = 10;

// The preview is analysed at the reduced rate, so that rows stand for the
// reduced signal's frequencies; every other pass expects the file's rate,
// which is put back however the pass ends.
class PreviewRate {
 public:
  PreviewRate(SpectrogramAnalyser& analyser, int reducedRate) : analyser_(analyser), sourceRate_(analyser.sampleRate()) {
    if (reducedRate >= 1) analyser_.setSampleRate(reducedRate);
  }
  ~PreviewRate() { analyser_.setSampleRate(sourceRate_); }
  PreviewRate(const PreviewRate&) = delete;
  PreviewRate& operator=(const PreviewRate&) = delete;
  int sourceRate() const { return sourceRate_; }

 private:
  SpectrogramAnalyser& analyser_;
  int sourceRate_;
};

// Feeds the file through the library's reduction into the analyser.
class Reduction {
 public:
  Reduction(OfflineEffect& effect, PreprocessFunction preprocess, PluginHandle handle)
      : effect_(effect), preprocess_(preprocess), handle_(handle), input_(kBlock), output_(kBlock) {}

  void add(float sample) {
    input_[static_cast<std::size_t>(filled_++)] = sample;
    if (filled_ == kBlock) run(0);
  }
  // The last samples, padded with zeros, go with the final call.
  void finish() {
    std::fill(input_.begin() + filled_, input_.end(), 0.0f);
    run(1);
  }
  std::int64_t fed() const { return fed_; }

 private:
  void run(int final) {
    float* input = input_.data();
    float* output = output_.data();
    unsigned count = 0;
    if (preprocess_(handle_, 0, kBlock, 1, &input, kBlock, &count, &output, final)) {
      // Never read beyond the buffer the library was given.
      const unsigned n = std::min(count, static_cast<unsigned>(kBlock));
      for (unsigned i = 0; i < n; ++i) feedAnalyser(effect_, output[i]);
      fed_ += n;
    }
    filled_ = 0;
  }

  OfflineEffect& effect_;
  PreprocessFunction preprocess_;
  PluginHandle handle_;
  std::vector<float> input_;
  std::vector<float> output_;
  int filled_ = 0;
  std::int64_t fed_ = 0;
};

}  // namespace

bool runTwoStageHumPass(OfflineEffect& effect, VstOfflineTask& task) {
  detect::DetectorEngines& engines = effect.engines();
  detection::useWholeFile(effect, task);
  const PreprocessFunction preprocess = engines.preprocessFunction();
  if (!preprocess) return true;

  detection::ProgressBarScope progressBar(effect);
  SpectrogramAnalyser& analyser = effect.analyser();
  EditorLink& editor = effect.editorLink();
  const float reducedRate = engines.engineDisplayValue(kReducedRate);
  const double reducedFrames =
      task.sourceSampleRate > 0.0 ? task.numFramesToProcess * reducedRate / task.sourceSampleRate : 0.0;
  const std::int32_t total = framesToPosition(reducedFrames);

  PreviewRate rate(analyser, framesToPosition(reducedRate));
  analyser.freeColumns();
  analyser.setFftLength(kPreviewFftLength);
  analyser.setWindow(kPreviewWindow);
  analyser.allocateColumns();
  analyser.prepare(0, total, total);
  analyser.setZoom(1.0f);

  Reduction reduction(effect, preprocess, engines.engineHandle());
  {
    BlockReader reader(effect, task, true);
    if (!reader.read(task.numFramesToProcess, [&](float sample) { reduction.add(sample); })) return false;
  }
  reduction.finish();
  for (std::int64_t i = reduction.fed(); i < total; ++i) feedAnalyser(effect, 0.0f);

  if (!engines.prepare(detect::kAlgorithmHum, static_cast<float>(rate.sourceRate()))) return true;
  const int delay = engines.engineDelay();
  PvcCurve& curve = effect.curve();
  const std::int32_t frames = framesToPosition(task.numFramesToProcess);
  curve.resetFlat(frames);
  detection::PointCollector points(effect, kBlock, 0, frames, delay, false);
  auto run = [&](float* input, float* output) { return engines.engineProcess(kBlock, 1, &input, &output); };
  detection::HumCheck hum(engines, rate.sourceRate());
  if (!detection::readIntoDetector(effect, task, points, false, run, [&](float sample) { hum.add(sample); }))
    return false;
  if (!hum.found()) return detection::keepFlat(effect, task, frames, hum.why());

  const EditorView& view = editor.view();
  curve.setView(view.drawingWidth, view.drawingHeight, 0, view.fileLength);
  const float nominal = engines.engineDisplayValue(kNominal);
  int upperRow = 0;
  int lowerRow = view.drawingHeight;
  if (nominal > 0.0f) {
    analyser.setReferenceFrequency(nominal);
    upperRow = analyser.rowForRatio(engines.engineDisplayValue(kBandHigh) / nominal);
    lowerRow = analyser.rowForRatio(engines.engineDisplayValue(kBandLow) / nominal);
  }
  curve.layout(analyser);
  editor.drawCurveWithBounds(curve, upperRow, lowerRow);
  effect.curveReady = true;
  editor.setProgress(0.0);
  return true;
}
