#include "engines/HumEngine.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "detect/ProcessingLibrary.h"
#include "engines/HumPreview.h"
#include "engines/HumTracker.h"

namespace humengine {
namespace {

// Mixes the channels to mono in scratch; a single channel is used in place.
const float* monoInput(const float* const* inputs, int channels, int frames, std::vector<float>& scratch) {
  if (channels == 1) return inputs[0];
  scratch.assign(static_cast<std::size_t>(frames), 0.0f);
  for (int c = 0; c < channels; ++c)
    for (int i = 0; i < frames; ++i) scratch[i] += inputs[c][i];
  float scale = 1.0f / static_cast<float>(channels);
  for (float& x : scratch) x *= scale;
  return scratch.data();
}

bool validBuffers(const float* const* buffers, int channels) {
  if (buffers == nullptr || channels < 1) return false;
  for (int c = 0; c < channels; ++c)
    if (buffers[c] == nullptr) return false;
  return true;
}

}  // namespace

bool HumEngine::acceptsRate(double sampleRate) {
  return std::isfinite(sampleRate) && sampleRate >= 1000.0 && sampleRate <= 1536000.0;
}

HumEngine::HumEngine(double sampleRate) : sampleRate_(sampleRate), values_(defaultValues()) {}

HumEngine::~HumEngine() = default;

float HumEngine::value(int index) const { return index >= 0 && index < kParamCount ? values_[index] : 0.0f; }

float HumEngine::display(int index) const {
  // What the tracker stream made of its input so far; nothing before it ran.
  if (index == kHumVerdictIndex)
    return tracker_ && tracker_->moments() > 0 ? (tracker_->followed() ? kHumFollowed : kHumNotFollowed) : 0.0f;
  if (index == kHumFollowedShareIndex)
    return tracker_ ? static_cast<float>(100.0 * tracker_->followedShare()) : 0.0f;
  return displayValue(index, value(index));
}

bool HumEngine::setValue(int index, float v) {
  if (index < 0 || index >= kParamCount || std::isnan(v)) return false;
  v = std::clamp(v, 0.0f, 1.0f);
  if (v != values_[index]) {
    values_[index] = v;
    // New settings mean a new stream; the old filters' state no longer fits.
    tracker_.reset();
    preview_.reset();
  }
  return true;
}

HumTracker& HumEngine::tracker() {
  if (!tracker_) tracker_ = std::make_unique<HumTracker>(sampleRate_, deriveSettings(values_));
  return *tracker_;
}

HumPreview& HumEngine::preview() {
  if (!preview_) preview_ = std::make_unique<HumPreview>(sampleRate_, deriveSettings(values_));
  return *preview_;
}

int HumEngine::delay() { return tracker().delay(); }

bool HumEngine::process(const float* const* inputs, int channels, int frames, float* output) {
  if (frames <= 0 || output == nullptr || !validBuffers(inputs, channels)) return false;
  std::vector<float> scratch;
  tracker().process(monoInput(inputs, channels, frames, scratch), frames, output);
  return true;
}

bool HumEngine::preprocess(const float* const* inputs, int channels, int frames, int capacity, unsigned* count,
                           float* output, bool final) {
  if (count == nullptr || output == nullptr || capacity < 0 || frames < 0) return false;
  HumPreview& p = preview();
  if (final) {
    p.finish();
  } else if (frames > 0) {
    if (!validBuffers(inputs, channels)) return false;
    std::vector<float> scratch;
    p.push(monoInput(inputs, channels, frames, scratch), frames);
  }
  *count = static_cast<unsigned>(p.pull(output, capacity));
  return true;
}

}  // namespace humengine
