// The detection passes that replace the whole curve: the hum pass, which
// hands the file to the outside hum engine, and the pilot-tone pass. Both
// read the file twice: once to count its frames, once to draw it and feed
// the detector.
#include <string>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/DetectorEngines.h"
#include "detect/TonePresence.h"
#include "plugin/DetectionFrame.h"
#include "plugin/EditorLink.h"
#include "plugin/OfflineEffect.h"
#include "plugin/Passes.h"

namespace {

constexpr int kHumBlock = 8192;
constexpr int kPilotBlock = 1024;

}  // namespace

bool runHumPass(OfflineEffect& effect, VstOfflineTask& task) {
  detect::DetectorEngines& engines = effect.engines();
  if (engines.engineHandle() == 0) return false;
  if (engines.useSorvanite()) return runTwoStageHumPass(effect, task);

  detection::ProgressBarScope progressBar(effect);
  std::int32_t frames = 0;
  if (!detection::countWholeFile(effect, task, frames)) return false;

  SpectrogramAnalyser& analyser = effect.analyser();
  const EditorView& view = effect.editorLink().view();
  if (effect.analysisChanged) {
    analyser.freeColumns();
    analyser.setFftLength(view.fftLength);
    analyser.setWindow(view.window);
    analyser.allocateColumns();
    analyser.setZoom(1.0f);
    effect.analysisChanged = false;
  }
  detection::startOver(effect, frames);

  // A fresh instance with the same settings: one left from an earlier pass
  // would go on with that pass's stream and smear its end into this start.
  if (!engines.prepare(detect::kAlgorithmHum, static_cast<float>(analyser.sampleRate()))) return false;
  const int delay = engines.engineDelay();
  detection::PointCollector points(effect, kHumBlock, 0, frames, delay, false);
  auto run = [&](float* input, float* output) { return engines.engineProcess(kHumBlock, 1, &input, &output); };
  detection::HumCheck hum(engines, analyser.sampleRate());
  if (!detection::readIntoDetector(effect, task, points, true, run, [&](float sample) { hum.add(sample); }))
    return false;
  if (!hum.found()) return detection::keepFlat(effect, task, frames, hum.why());
  detection::finishDetectedCurve(effect, 0, frames, detect::kAlgorithmHum);
  return true;
}

std::string pilotRateTooLow(double sampleRate) {
  return "The pilot-tone detector needs a sample rate of at least " +
         detection::hertz(detect::DetectorEngines::kPilotMinSampleRate) + "; this file has " +
         detection::hertz(sampleRate) + ".";
}

bool runPilotTonePass(OfflineEffect& effect, VstOfflineTask& task) {
  const double rate = task.sourceSampleRate;
  if (!(rate >= detect::DetectorEngines::kPilotMinSampleRate)) {
    effect.reportPassMessage(task, pilotRateTooLow(rate));
    return false;
  }
  detect::PilotToneTracker* tracker = effect.engines().trackerEngine();
  if (!tracker) return false;
  // The search band starts at a fixed floor; at rates whose half lies at or
  // below it there is nothing to search, and the pass would only draw a
  // flat line.
  const double floor = tracker->bandFloor();
  const double top = tracker->sampleRate() / 2.0;
  if (tracker->lowestBin() > tracker->fftLength() / 2) {
    effect.reportPassMessage(task, "The pilot-tone search band starts at " + detection::hertz(floor) +
                                       ", at or above half the sample rate (" + detection::hertz(top) +
                                       "): there is nothing to search in this file.");
    return false;
  }

  detection::ProgressBarScope progressBar(effect);
  std::int32_t frames = 0;
  if (!detection::countWholeFile(effect, task, frames)) return false;
  effect.analyser().setZoom(1.0f);
  detection::startOver(effect, frames);

  const int delay = tracker->getDelay();
  detect::PilotTrackingState state;
  detection::PointCollector points(effect, kPilotBlock, 0, frames, delay, true);
  auto run = [&](float* input, float* output) {
    const float* const inputs[1] = {input};
    float* const outputs[1] = {output};
    return tracker->process(kPilotBlock, 1, inputs, outputs, state);
  };
  // Frames of about 80 ms: short enough that wow does not smear the tone
  // over many bins, long enough to lift it well above the noise.
  int pilotFrame = 1024;
  while (pilotFrame * 12 < tracker->sampleRate()) pilotFrame *= 2;
  detect::TonePresence pilot(tracker->sampleRate(), {floor, top}, {floor, top}, pilotFrame);
  if (!detection::readIntoDetector(effect, task, points, true, run, [&](float sample) { pilot.add(sample); }))
    return false;
  pilot.finish();
  if (!pilot.present()) {
    return detection::keepFlat(effect, task, frames,
                               "No pilot tone found: nothing from " + detection::hertz(floor) + " up to " + detection::hertz(top) +
                                   " stands 20 dB above the noise there. The curve stays flat.");
  }
  detection::finishDetectedCurve(effect, 0, frames, detect::kAlgorithmPilotTone);
  return true;
}
