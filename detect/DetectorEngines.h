// The detector engines the plug-in object owns, selected by algorithm
// number: the outside hum engine (3), the pilot tone tracker (4) and the
// spectral-domain detector (7). Selecting creates the algorithm's engine,
// leaving destroys it; the values the user set survive in the parameter
// memory, so defaults apply only the first time an algorithm is selected.
#pragma once

#include <memory>

#include "detect/HumLibrary.h"
#include "detect/OperationModes.h"
#include "detect/ParameterMemory.h"
#include "detect/PilotToneTracker.h"
#include "detect/SpectralPvcDetector.h"

namespace detect {

class DetectorEngines {
 public:
  // Parameter memory rows of the three engines.
  static constexpr int kSpectralRow = 2;
  static constexpr int kHumRow = 3;
  static constexpr int kPilotRow = 4;
  static constexpr float kPilotMinSampleRate = detect::kPilotMinSampleRate;

  // The hum engine's library; the plug-in's own by default.
  explicit DetectorEngines(std::unique_ptr<HumLibrary> hum = makeLinkedHumLibrary());
  ~DetectorEngines();
  DetectorEngines(const DetectorEngines&) = delete;
  DetectorEngines& operator=(const DetectorEngines&) = delete;

  // Creates the engine of 3, 4 or 7 at the analyser's sample rate; true for
  // other numbers, which have no engine.
  bool prepare(int algorithm, float analyserSampleRate);
  // Destroys the engine of 3, 4 or 7, keeping its values; true otherwise.
  bool release(int algorithm);

  // Whether the engine of 3, 4 or 7 exists; true for other numbers, which
  // need none.
  bool hasEngine(int algorithm) const;

  PluginHandle engineHandle() const { return engineHandle_; }
  PilotToneTracker* trackerEngine() { return tracker_.get(); }
  SpectralPvcDetector* spectralEngine() { return spectral_.get(); }
  ParameterMemory& parameterMemory() { return memory_; }
  const ParameterMemory& parameterMemory() const { return memory_; }

  // The outside engine's parameters, on the current instance; without one
  // the getters answer 0 and the setters do nothing.
  void setEngineValue(int index, float value);
  float engineValue(int index);
  bool engineName(int index, char* buffer);
  float engineDisplayValue(int index);
  bool engineLabel(int index, char* buffer);
  // What the hum passes call on the instance.
  int engineDelay();
  bool engineProcess(int frameCount, int channelCount, float** inputs, float** outputs);
  PreprocessFunction preprocessFunction();

  void setUseSorvanite(bool on) { useSorvanite_ = on; }
  bool useSorvanite() const { return useSorvanite_; }

 private:
  bool prepareHum(float sampleRate);
  void destroyHum();
  void saveHum();

  std::unique_ptr<HumLibrary> hum_;
  ParameterMemory memory_;
  PluginHandle engineHandle_ = 0;
  std::unique_ptr<PilotToneTracker> tracker_;
  std::unique_ptr<SpectralPvcDetector> spectral_;
  bool useSorvanite_ = false;
};

}  // namespace detect
