#include "partials/PartialTracks.h"

#include <algorithm>
#include <cmath>

namespace partials {

namespace {

// Frames left out at the start and the end of a track.
constexpr int kTrimStart = 2;
constexpr int kTrimEnd = 2;
// The smallest error a frequency reading is credited with (0.02 %): beyond
// what the phase tells, partials wander a little on their own.
constexpr double kModelError = 2e-4;
// A peak continues a track within a quarter of a bin, kept between 0.06 %
// (high partials, whose readings are noisier than a bin's share) and 0.3 %
// (low ones, where a bin is wide).
constexpr double kTolBins = 0.25;
constexpr double kTolMin = 0.0006;
constexpr double kTolMax = 0.003;

}  // namespace

PartialTracks::PartialTracks(double binHz, double noiseScale, int minLength)
    : binHz_(binHz), noiseScale_(noiseScale), minLength_(std::max(minLength, kTrimStart + kTrimEnd + 2)) {}

void PartialTracks::add(std::int32_t frame, const std::vector<Peak>& peaks) {
  // open_ is sorted by last frequency, peaks by frequency: one merge walk
  // finds each peak's nearest open track.
  next_.clear();
  std::vector<char> taken(open_.size(), 0);
  std::size_t j = 0;
  for (const Peak& peak : peaks) {
    const double f = std::exp(peak.logFrequency);
    const double tolerance = std::clamp(kTolBins * binHz_ / f, kTolMin, kTolMax);
    while (j + 1 < open_.size() && open_[j + 1].lastLog <= peak.logFrequency) ++j;
    std::size_t best = open_.size();
    double bestDistance = tolerance;
    for (std::size_t c = j; c < std::min(open_.size(), j + 2); ++c) {
      if (taken[c]) continue;
      const double d = std::fabs(open_[c].lastLog - peak.logFrequency);
      if (d <= bestDistance) {
        bestDistance = d;
        best = c;
      }
    }
    if (best < open_.size()) {
      taken[best] = 1;
      Open& track = open_[best];
      track.lastLog = peak.logFrequency;
      track.lastFrame = frame;
      track.peaks.push_back(peak);
      track.frames.push_back(frame);
      next_.push_back(std::move(track));
    } else {
      Open track;
      if (!spare_.empty()) {
        track = std::move(spare_.back());
        spare_.pop_back();
      }
      track.lastLog = peak.logFrequency;
      track.lastFrame = frame;
      track.peaks.assign(1, peak);
      track.frames.assign(1, frame);
      next_.push_back(std::move(track));
    }
  }
  for (std::size_t c = 0; c < open_.size(); ++c)
    if (!taken[c]) end(open_[c]);
  std::sort(next_.begin(), next_.end(), [](const Open& a, const Open& b) { return a.lastLog < b.lastLog; });
  std::swap(open_, next_);
}

void PartialTracks::close() {
  for (Open& open : open_) end(open);
  open_.clear();
}

void PartialTracks::end(Open& open) {
  const int n = static_cast<int>(open.peaks.size());
  if (n >= minLength_) {
    Track track;
    track.logBase = open.peaks[static_cast<std::size_t>(kTrimStart)].logFrequency;
    track.first = static_cast<std::uint32_t>(observations_.size());
    for (int i = kTrimStart; i < n - kTrimEnd; ++i) {
      const Peak& p = open.peaks[static_cast<std::size_t>(i)];
      const double f = std::exp(p.logFrequency);
      const double noise = noiseScale_ / (f * std::sqrt(static_cast<double>(p.snr)));
      const double variance = noise * noise + kModelError * kModelError;
      observations_.push_back({open.frames[static_cast<std::size_t>(i)],
                               static_cast<float>(p.logFrequency - track.logBase), static_cast<float>(1.0 / variance)});
    }
    track.count = static_cast<std::uint32_t>(n - kTrimStart - kTrimEnd);
    tracks_.push_back(track);
  }
  open.peaks.clear();
  open.frames.clear();
  spare_.push_back(std::move(open));
}

}  // namespace partials
