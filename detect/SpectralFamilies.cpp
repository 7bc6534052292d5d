#include "detect/SpectralFamilies.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace detect {

namespace {

// A track's frequency histogram over 25 Hz classes, as a share of its frames.
struct Histogram {
  int low = 0;  // first class with a count
  int high = -1;
  std::vector<float> share;
};

int classOf(float frequency, int top) {
  const int around = static_cast<int>(std::floor(frequency / SpectralFamilies::kClassWidth));
  for (int j = std::max(around - 1, 0); j <= std::min(around + 1, top); ++j) {
    if (std::fabs(std::trunc(frequency - SpectralFamilies::kClassWidth * j)) <= SpectralFamilies::kClassReach) {
      return j;
    }
  }
  return -1;
}

Histogram histogramOf(const SpectralTrack& track, int top) {
  Histogram h;
  h.share.assign(static_cast<std::size_t>(top + 1), 0.0f);
  h.low = top + 1;
  for (float frequency : track.frequencies) {
    if (frequency < 0.0f) continue;
    const int j = classOf(frequency, top);
    if (j < 0) continue;
    h.share[static_cast<std::size_t>(j)] += 1.0f;
    h.low = std::min(h.low, j);
    h.high = std::max(h.high, j);
  }
  const float length = static_cast<float>(track.length());
  for (float& s : h.share) s /= length;
  return h;
}

float overlapOf(const std::vector<float>& family, const Histogram& h) {
  float dot = 0.0f;
  for (int j = h.low; j <= h.high; ++j) dot += family[static_cast<std::size_t>(j)] * h.share[static_cast<std::size_t>(j)];
  return dot;
}

}  // namespace

void SpectralFamilies::clear() {
  families_.clear();
  frames_ = 0;
}

void SpectralFamilies::collect(const std::vector<const SpectralTrack*>& tracks, int frames, float bandHigh) {
  clear();
  frames_ = std::max(frames, 0);
  if (frames_ == 0 || tracks.empty()) return;
  const std::size_t count = tracks.size();
  const int top = static_cast<int>(std::ceil((bandHigh + kHeadroom) / kClassWidth));

  std::vector<float> duration(count, 0.0f);
  std::vector<char> taken(count, 0);
  std::vector<Histogram> histograms(count);
  for (std::size_t t = 0; t < count; ++t) {
    duration[t] = static_cast<float>(tracks[t]->length()) / static_cast<float>(frames_);
    if (duration[t] < kMinDuration) {
      // Too short to say anything about the speed: set aside.
      duration[t] = 0.0f;
      taken[t] = 1;
    } else if (top >= 0) {
      histograms[t] = histogramOf(*tracks[t], top);
    }
  }

  // Only tracks that were not set aside can join a family; keep them apart
  // so that the joining does not walk every short track again and again.
  std::vector<std::size_t> candidates;
  for (std::size_t t = 0; t < count; ++t) {
    if (!taken[t]) candidates.push_back(t);
  }

  std::vector<std::size_t> order(count);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return duration[a] > duration[b]; });

  for (std::size_t opener : order) {
    if (taken[opener]) continue;
    taken[opener] = 1;
    std::vector<std::size_t> members = {opener};
    std::vector<float> familyHistogram = histograms[opener].share;
    float familyLength = static_cast<float>(tracks[opener]->length());
    for (std::size_t j : candidates) {
      if (taken[j]) continue;
      const Histogram& h = histograms[j];
      if (!(overlapOf(familyHistogram, h) > kMinOverlap)) continue;
      const float length = static_cast<float>(tracks[j]->length());
      for (std::size_t c = 0; c < familyHistogram.size(); ++c) {
        familyHistogram[c] = (familyHistogram[c] * familyLength + h.share[c] * length) / (familyLength + length);
      }
      familyLength += length;
      taken[j] = 1;
      members.push_back(j);
    }

    Family family;
    family.first = frames_;
    for (std::size_t m : members) {
      family.first = std::min(family.first, tracks[m]->first);
      family.last = std::max(family.last, tracks[m]->last);
    }
    family.first = std::max(family.first, 0);
    family.last = std::min(family.last, frames_ - 1);
    const std::size_t span = family.last >= family.first ? static_cast<std::size_t>(family.last - family.first + 1) : 0;
    family.frequency.assign(span, -1.0f);
    family.relative.assign(span, 1.0f);
    family.weight.assign(span, 0.0f);
    family.enabled.assign(span, 1);
    // Later members overwrite earlier ones where they share frames.
    for (std::size_t m : members) {
      const SpectralTrack& track = *tracks[m];
      for (int f = std::max(track.first, family.first); f <= std::min(track.last, family.last); ++f) {
        family.frequency[family.slot(f)] = track.frequencyAt(f);
        family.weight[family.slot(f)] = duration[m];
      }
    }
    smoothRuns(family);
    families_.push_back(std::move(family));
  }
}

void SpectralFamilies::smoothRuns(Family& family) {
  const std::size_t span = family.frequency.size();
  std::vector<float> run;
  std::vector<float> sorted;
  std::size_t i = 0;
  while (i < span) {
    if (family.frequency[i] < 0.0f) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < span && family.frequency[end] >= 0.0f) ++end;
    const std::size_t n = end - i;
    const float* v = &family.frequency[i];
    // Ends kept, next to the ends a mean of 3, inside a centred mean of 5;
    // runs of one or two frames have only ends and stay as they are.
    run.assign(v, v + n);
    for (std::size_t k = 1; k + 1 < n; ++k) {
      if (k == 1 || k == n - 2) {
        run[k] = (v[k - 1] + v[k] + v[k + 1]) / 3.0f;
      } else {
        run[k] = (v[k - 2] + v[k - 1] + v[k] + v[k + 1] + v[k + 2]) / 5.0f;
      }
    }
    sorted = run;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(n / 2), sorted.end());
    const float median = sorted[n / 2];
    for (std::size_t k = 0; k < n; ++k) {
      family.frequency[i + k] = run[k];
      family.relative[i + k] = median > 0.0f ? run[k] / median : 1.0f;
    }
    i = end;
  }
}

void SpectralFamilies::setConfidence(float x) {
  if (!(x >= 0.0f && x <= 1.0f)) return;
  for (Family& family : families_) {
    for (std::size_t k = 0; k < family.weight.size(); ++k) family.enabled[k] = x <= family.weight[k];
    family.enabledOutside = x <= 0.0f;
  }
}

bool SpectralFamilies::enabled(int f, int frame) const {
  if (f < 0 || f >= count() || frame < 0 || frame >= frames_) return false;
  const Family& family = families_[static_cast<std::size_t>(f)];
  return family.covers(frame) ? family.enabled[family.slot(frame)] != 0 : family.enabledOutside;
}

float SpectralFamilies::weight(int f, int frame) const {
  if (f < 0 || f >= count()) return 0.0f;
  const Family& family = families_[static_cast<std::size_t>(f)];
  return family.covers(frame) ? family.weight[family.slot(frame)] : 0.0f;
}

float SpectralFamilies::smoothed(int f, int frame) const {
  if (f < 0 || f >= count()) return -1.0f;
  const Family& family = families_[static_cast<std::size_t>(f)];
  return family.covers(frame) ? family.frequency[family.slot(frame)] : -1.0f;
}

float SpectralFamilies::relative(int f, int frame) const {
  if (f < 0 || f >= count()) return 1.0f;
  const Family& family = families_[static_cast<std::size_t>(f)];
  return family.covers(frame) ? family.relative[family.slot(frame)] : 1.0f;
}

std::vector<float> SpectralFamilies::curve() const {
  std::vector<float> values(static_cast<std::size_t>(frames_), 1.0f);
  if (families_.empty()) return values;
  for (int i = 0; i < frames_; ++i) {
    int best = 0;
    float bestWeight = -1.0f;
    for (int f = 0; f < count(); ++f) {
      const float w = enabled(f, i) ? weight(f, i) : 0.0f;
      if (w > bestWeight) {
        bestWeight = w;
        best = f;
      }
    }
    if (enabled(best, i)) values[static_cast<std::size_t>(i)] = relative(best, i);
  }
  return values;
}

}  // namespace detect
