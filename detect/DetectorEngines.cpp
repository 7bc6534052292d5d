#include "detect/DetectorEngines.h"

#include <algorithm>
#include <array>
#include <new>
#include <utility>

namespace detect {

namespace {

// First-selection values of the hum engine's parameters that the plug-in
// relies on: reduced rate, band edges and nominal hum frequency.
constexpr std::array<std::pair<int, float>, 4> kHumDefaults = {{{2, 0.75f}, {3, 0.225f}, {4, 0.275f}, {10, 0.257f}}};

// Saves every value of a built-in engine into its row, when the row exists.
template <typename Engine>
void saveValues(ParameterMemory& memory, int row, Engine& engine) {
  if (!memory.hasValues(row)) return;
  for (int i = 0; i < engine.getNumParams(); ++i) memory.store(row, i, engine.getParamValue(i));
}

// Writes the remembered values back, or remembers the engine's own
// defaults the first time.
template <typename Engine>
void restoreValues(ParameterMemory& memory, int row, Engine& engine) {
  if (memory.hasValues(row)) {
    const int count = std::min(memory.count(row), engine.getNumParams());
    for (int i = 0; i < count; ++i) engine.setParamValue(i, memory.load(row, i));
    return;
  }
  memory.allocate(row, engine.getNumParams());
  for (int i = 0; i < engine.getNumParams(); ++i) memory.store(row, i, engine.getParamValue(i));
}

}  // namespace

DetectorEngines::DetectorEngines(std::unique_ptr<HumLibrary> hum) : hum_(std::move(hum)) {}

DetectorEngines::~DetectorEngines() {
  // The instance goes before the library that made it.
  if (engineHandle_ != 0 && hum_) hum_->destroy(engineHandle_);
}

bool DetectorEngines::prepare(int algorithm, float analyserSampleRate) {
  switch (algorithm) {
    case kAlgorithmHum:
      return prepareHum(analyserSampleRate);
    case kAlgorithmPilotTone:
      if (tracker_) {
        saveValues(memory_, kPilotRow, *tracker_);
        tracker_.reset();
      }
      // The tone lies above 14 kHz: lower rates cannot carry it.
      if (!(analyserSampleRate >= kPilotMinSampleRate)) return false;
      tracker_ = std::make_unique<PilotToneTracker>(analyserSampleRate);
      restoreValues(memory_, kPilotRow, *tracker_);
      return true;
    case kAlgorithmSpectral:
      if (spectral_) {
        saveValues(memory_, kSpectralRow, *spectral_);
        spectral_.reset();
      }
      try {
        spectral_ = std::make_unique<SpectralPvcDetector>();
      } catch (const std::bad_alloc&) {
        return false;
      }
      restoreValues(memory_, kSpectralRow, *spectral_);
      return true;
    default:
      return true;
  }
}

bool DetectorEngines::hasEngine(int algorithm) const {
  switch (algorithm) {
    case kAlgorithmHum:
      return engineHandle_ != 0;
    case kAlgorithmPilotTone:
      return tracker_ != nullptr;
    case kAlgorithmSpectral:
      return spectral_ != nullptr;
    default:
      return true;
  }
}

bool DetectorEngines::release(int algorithm) {
  switch (algorithm) {
    case kAlgorithmHum:
      destroyHum();
      return true;
    case kAlgorithmPilotTone:
      if (tracker_) saveValues(memory_, kPilotRow, *tracker_);
      tracker_.reset();
      return true;
    case kAlgorithmSpectral:
      if (spectral_) saveValues(memory_, kSpectralRow, *spectral_);
      spectral_.reset();
      return true;
    default:
      return true;
  }
}

bool DetectorEngines::prepareHum(float sampleRate) {
  if (!hum_ || !hum_->load()) return false;
  destroyHum();
  engineHandle_ = hum_->create(sampleRate);
  if (engineHandle_ == 0) return false;

  const int count = hum_->numParams(engineHandle_);
  if (memory_.hasValues(kHumRow)) {
    const int stored = std::min(memory_.count(kHumRow), count);
    for (int i = 0; i < stored; ++i) hum_->setValue(engineHandle_, i, memory_.load(kHumRow, i));
    return true;
  }
  for (auto [index, value] : kHumDefaults) {
    if (index < count) hum_->setValue(engineHandle_, index, value);
  }
  memory_.allocate(kHumRow, count);
  for (int i = 0; i < count; ++i) memory_.store(kHumRow, i, hum_->value(engineHandle_, i));
  return true;
}

void DetectorEngines::saveHum() {
  if (engineHandle_ == 0 || !memory_.hasValues(kHumRow)) return;
  const int count = hum_->numParams(engineHandle_);
  for (int i = 0; i < count; ++i) memory_.store(kHumRow, i, hum_->value(engineHandle_, i));
}

void DetectorEngines::destroyHum() {
  if (engineHandle_ == 0) return;
  saveHum();
  hum_->destroy(engineHandle_);
  engineHandle_ = 0;
}

void DetectorEngines::setEngineValue(int index, float value) {
  if (engineHandle_ != 0) hum_->setValue(engineHandle_, index, value);
}

float DetectorEngines::engineValue(int index) { return engineHandle_ != 0 ? hum_->value(engineHandle_, index) : 0.0f; }

bool DetectorEngines::engineName(int index, char* buffer) {
  if (engineHandle_ != 0) hum_->name(engineHandle_, index, buffer);
  return true;
}

float DetectorEngines::engineDisplayValue(int index) {
  return engineHandle_ != 0 ? hum_->display(engineHandle_, index) : 0.0f;
}

bool DetectorEngines::engineLabel(int index, char* buffer) {
  if (engineHandle_ != 0) hum_->label(engineHandle_, index, buffer);
  return true;
}

int DetectorEngines::engineDelay() { return engineHandle_ != 0 ? hum_->delay(engineHandle_) : 0; }

bool DetectorEngines::engineProcess(int frameCount, int channelCount, float** inputs, float** outputs) {
  return engineHandle_ != 0 && hum_->process(engineHandle_, frameCount, channelCount, inputs, outputs);
}

PreprocessFunction DetectorEngines::preprocessFunction() { return hum_ ? hum_->preprocess() : nullptr; }

}  // namespace detect
