// What wowgen makes: the material of a test recording and the speed curve
// it was "recorded" with. Given as command-line options or as a recipe file
// holding the same options one per line, without the dashes:
//   tone 1000:0.3        a tone: frequency (Hz), amplitude, phase (degrees, optional)
//   pilot 19000:0.05     a pilot tone, the same fields
//   hum 50:0.02:5        mains hum: frequency, amplitude of the fundamental,
//                        harmonics (the k-th at amplitude / k)
//   noise 0.001          white noise, RMS amplitude (does not follow the speed)
//   wow 0.5:0.4          a sine in the speed: rate (Hz), peak depth (%), phase (degrees)
//   drift 0.1            speed deviation reached at the end (%), growing linearly
//   rate 48000  channels 2  seconds 60  seed 1  step 256  format float|pcm16|pcm24
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/eval/wowgen/SpeedCurve.h"
#include "tools/eval/wowgen/WavWrite.h"

namespace wowgen {

struct Tone {
  double frequency = 1000.0;
  double amplitude = 0.5;
  double phase = 0.0;  // radians
};

struct Hum {
  double frequency = 50.0;
  double amplitude = 0.0;
  int harmonics = 1;
};

struct Recipe {
  double sampleRate = 48000.0;
  int channels = 1;
  double seconds = 10.0;
  std::vector<Tone> tones;
  std::vector<Tone> pilots;
  std::vector<Hum> hums;
  double noise = 0.0;
  std::uint64_t seed = 1;
  std::vector<WowSine> wow;
  double drift = 0.0;  // fraction
  int curveStep = 256;
  OutputFormat format = OutputFormat::Float32;
  std::string output;     // the WAV file
  std::string curveFile;  // the .pvc file; empty: beside the WAV

  long long frames() const;
};

// Reads options (without the program name); a "--recipe FILE" option reads
// that file in its place. False with a message for anything it cannot use.
bool parseRecipe(const std::vector<std::string>& args, Recipe& recipe, std::string& problem);

// Applies one option, key without dashes.
bool applyOption(const std::string& key, const std::string& value, Recipe& recipe, std::string& problem);

}  // namespace wowgen
