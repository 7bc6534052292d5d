#include "tools/eval/wowgen/WowRecipe.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>

namespace wowgen {

namespace {

constexpr double kDegrees = std::numbers::pi / 180.0;

bool number(const std::string& text, double& value) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

// "a:b:c" into numbers; between min and max fields.
bool fields(const std::string& text, std::size_t min, std::size_t max, std::vector<double>& out) {
  out.clear();
  std::size_t start = 0;
  while (true) {
    const std::size_t colon = text.find(':', start);
    double v = 0.0;
    if (!number(text.substr(start, colon == std::string::npos ? std::string::npos : colon - start), v)) return false;
    out.push_back(v);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return out.size() >= min && out.size() <= max;
}

bool readTone(const std::string& value, Tone& tone) {
  std::vector<double> f;
  if (!fields(value, 2, 3, f) || f[0] <= 0.0) return false;
  tone = {f[0], f[1], f.size() > 2 ? f[2] * kDegrees : 0.0};
  return true;
}

bool readRecipeFile(const std::string& path, Recipe& recipe, std::string& problem) {
  std::ifstream in(path);
  if (!in) {
    problem = "cannot open recipe " + path;
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string key, value, more;
    if (!(words >> key)) continue;
    // "tone 1000 0.3" reads as "tone 1000:0.3".
    while (words >> more) value += (value.empty() ? "" : ":") + more;
    if (key == "recipe") {
      problem = path + ":" + std::to_string(number) + ": a recipe cannot name another recipe";
      return false;
    }
    if (!applyOption(key, value, recipe, problem)) {
      problem = path + ":" + std::to_string(number) + ": " + problem;
      return false;
    }
  }
  return true;
}

}  // namespace

long long Recipe::frames() const { return std::llround(seconds * sampleRate); }

bool applyOption(const std::string& key, const std::string& value, Recipe& recipe, std::string& problem) {
  double v = 0.0;
  std::vector<double> f;
  auto bad = [&](const char* what) {
    problem = key + " " + value + ": " + what;
    return false;
  };
  if (key == "tone" || key == "pilot") {
    Tone tone;
    if (!readTone(value, tone)) return bad("needs FREQUENCY:AMPLITUDE[:PHASE]");
    (key == "tone" ? recipe.tones : recipe.pilots).push_back(tone);
  } else if (key == "hum") {
    if (!fields(value, 2, 3, f) || f[0] <= 0.0) return bad("needs FREQUENCY:AMPLITUDE[:HARMONICS]");
    const double harmonics = f.size() > 2 ? f[2] : 1.0;
    if (harmonics < 1.0 || harmonics > 100.0 || harmonics != std::floor(harmonics))
      return bad("needs 1 to 100 harmonics");
    recipe.hums.push_back({f[0], f[1], static_cast<int>(harmonics)});
  } else if (key == "wow") {
    if (!fields(value, 2, 3, f) || f[0] < 0.0) return bad("needs RATE:DEPTH_PERCENT[:PHASE]");
    if (std::fabs(f[1]) >= 50.0) return bad("depth must stay below 50 %");
    recipe.wow.push_back({f[0], f[1] / 100.0, f.size() > 2 ? f[2] * kDegrees : 0.0});
  } else if (key == "drift") {
    if (!number(value, v) || std::fabs(v) >= 50.0) return bad("needs a percentage below 50");
    recipe.drift = v / 100.0;
  } else if (key == "noise") {
    if (!number(value, v) || v < 0.0) return bad("needs an RMS amplitude of 0 or more");
    recipe.noise = v;
  } else if (key == "rate") {
    if (!number(value, v) || v < 1000.0 || v > 768000.0 || v != std::floor(v))
      return bad("needs a whole rate from 1000 to 768000 Hz");
    recipe.sampleRate = v;
  } else if (key == "channels") {
    if (!number(value, v) || v < 1.0 || v > 8.0 || v != std::floor(v)) return bad("needs 1 to 8 channels");
    recipe.channels = static_cast<int>(v);
  } else if (key == "seconds") {
    if (!number(value, v) || v <= 0.0 || v > 3600.0) return bad("needs a length above 0 and up to 3600 s");
    recipe.seconds = v;
  } else if (key == "seed") {
    if (!number(value, v) || v < 0.0 || v != std::floor(v)) return bad("needs a whole number");
    recipe.seed = static_cast<std::uint64_t>(v);
  } else if (key == "step") {
    if (!number(value, v) || v < 1.0 || v > 1e6 || v != std::floor(v)) return bad("needs 1 to 1000000 frames");
    recipe.curveStep = static_cast<int>(v);
  } else if (key == "format") {
    if (value == "float") recipe.format = OutputFormat::Float32;
    else if (value == "pcm16") recipe.format = OutputFormat::Pcm16;
    else if (value == "pcm24") recipe.format = OutputFormat::Pcm24;
    else return bad("needs float, pcm16 or pcm24");
  } else if (key == "curve") {
    if (value.empty()) return bad("needs a file name");
    recipe.curveFile = value;
  } else {
    problem = "unknown option " + key;
    return false;
  }
  return true;
}

bool parseRecipe(const std::vector<std::string>& args, Recipe& recipe, std::string& problem) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      if (!recipe.output.empty()) {
        problem = "more than one output file: " + recipe.output + " and " + a;
        return false;
      }
      recipe.output = a;
      continue;
    }
    if (i + 1 >= args.size()) {
      problem = a + " needs a value";
      return false;
    }
    const std::string key = a.substr(2);
    const std::string& value = args[++i];
    if (key == "recipe") {
      if (!readRecipeFile(value, recipe, problem)) return false;
    } else if (!applyOption(key, value, recipe, problem)) {
      return false;
    }
  }
  if (recipe.output.empty()) {
    problem = "no output file given";
    return false;
  }
  if (recipe.frames() < 2 || recipe.frames() > 2147483647LL) {
    problem = "the recording must be from two frames to 2^31 - 1 frames long";
    return false;
  }
  if (recipe.tones.empty() && recipe.pilots.empty() && recipe.hums.empty() && recipe.noise == 0.0)
    recipe.tones.push_back(Tone{});
  // The speed must stay positive everywhere for the recording to make sense.
  double worst = std::fabs(recipe.drift);
  for (const WowSine& s : recipe.wow) worst += std::fabs(s.depth);
  if (worst >= 0.5) {
    problem = "wow and drift together must stay below 50 %";
    return false;
  }
  if (recipe.curveFile.empty()) {
    const std::size_t dot = recipe.output.find_last_of('.');
    const std::size_t slash = recipe.output.find_last_of("/\\");
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    recipe.curveFile = (hasExtension ? recipe.output.substr(0, dot) : recipe.output) + ".pvc";
  }
  return true;
}

}  // namespace wowgen
