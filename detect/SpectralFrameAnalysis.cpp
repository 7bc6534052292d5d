// One analysis frame of the spectral detector: a zero-phase windowed
// transform, levels and phases, the peaks of the band, and the matching of
// the alive tracks to those peaks.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "detect/SpectralPvcDetector.h"

namespace detect {

namespace {
constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;
}  // namespace

TrackPoint SpectralPvcDetector::pointAt(int bin) const {
  const std::size_t k = static_cast<std::size_t>(bin);
  return {bin, binFrequency_[k], level_[k]};
}

void SpectralPvcDetector::analyseFrame() {
  const int N = runN_;
  const int M = runM_;
  const int half = N / 2;

  // Zero-phase placement: the frame's centre at time 0 of the transform.
  std::fill(re_.begin(), re_.end(), 0.0f);
  std::fill(im_.begin(), im_.end(), 0.0f);
  const float* frame = ring_.data() + frameStart_;
  for (int i = 0; i < N; ++i) {
    const float x = frame[i] * window_[static_cast<std::size_t>(i)];
    if (i < half) {
      re_[static_cast<std::size_t>(M - half + i)] = x;
    } else {
      re_[static_cast<std::size_t>(i - half)] = x;
    }
  }
  fft_.complexFft(re_.data(), im_.data(), M);

  // Levels and phases are needed only up to the candidates' limit and one
  // neighbour above it; the bins above are never looked at.
  for (int k = 0; k <= lastBin_; ++k) {
    const std::size_t i = static_cast<std::size_t>(k);
    const float r = re_[i] / windowSum_;
    const float m = im_[i] / windowSum_;
    level_[i] = 20.0f * std::log10(std::sqrt(r * r + m * m));
    phase_[i] = std::atan2(m, r);
  }

  float sum = 0.0f;
  int inBand = 0;
  for (int k = 0; k < M / 2; ++k) {
    const float f = binFrequency_[static_cast<std::size_t>(k)];
    if (f > bandHigh_) break;
    if (f >= bandLow_) {
      sum += level_[static_cast<std::size_t>(k)];
      ++inBand;
    }
  }
  bandMean_ = inBand > 0 ? sum / static_cast<float>(inBand) : kEmptyBandLevel;

  findPeaks();

  ++frameIndex_;
  const int frameNo = frameIndex_;
  if (!started_ && !selected_.empty()) {
    const std::size_t first = std::min<std::size_t>(selected_.size(), SpectralTrackTable::kInitialCapacity);
    for (std::size_t s = 0; s < first; ++s) {
      table_.start(frameNo, pointAt(candidates_[static_cast<std::size_t>(selected_[s].candidate)].bin));
      selected_[s].assigned = true;
    }
    started_ = true;
  } else {
    for (int id : table_.alive()) {
      int taken = -1;
      if (matchTrack(table_.track(id).latest, taken)) {
        table_.extend(id, frameNo, pointAt(candidates_[static_cast<std::size_t>(taken)].bin));
        takeCandidate(taken);
      } else {
        table_.stop(id);
      }
    }
    table_.settleAlive();
  }

  std::copy(phase_.begin(), phase_.begin() + lastBin_ + 1, previousPhase_.begin());

  int waiting = 0;
  for (const Selected& s : selected_) waiting += s.assigned ? 0 : 1;
  if (waiting > table_.freeSlots()) table_.grow(waiting - table_.freeSlots());
  for (Selected& s : selected_) {
    if (s.assigned) continue;
    table_.start(frameNo, pointAt(candidates_[static_cast<std::size_t>(s.candidate)].bin));
    s.assigned = true;
  }
}

void SpectralPvcDetector::findPeaks() {
  candidates_.clear();
  selected_.clear();
  for (int k = 1; k < lastBin_; ++k) {
    const std::size_t i = static_cast<std::size_t>(k);
    if (!(binFrequency_[i] < limit_)) break;
    if (level_[i] > level_[i - 1] && level_[i] > level_[i + 1]) candidates_.push_back({k, true, -1});
  }
  if (candidates_.empty()) return;
  for (std::size_t c = 0; c + 1 < candidates_.size(); ++c) {
    const std::size_t bin = static_cast<std::size_t>(candidates_[c].bin);
    const float f = binFrequency_[bin];
    if (level_[bin] >= bandMean_ && f >= bandLow_ && f <= bandHigh_) {
      selected_.push_back({static_cast<int>(c), false});
    }
  }
  // Strongest first; equal levels keep their rising order.
  std::stable_sort(selected_.begin(), selected_.end(), [this](const Selected& a, const Selected& b) {
    return level_[static_cast<std::size_t>(candidates_[static_cast<std::size_t>(a.candidate)].bin)] >
           level_[static_cast<std::size_t>(candidates_[static_cast<std::size_t>(b.candidate)].bin)];
  });
  for (std::size_t s = 0; s < selected_.size(); ++s) {
    candidates_[static_cast<std::size_t>(selected_[s].candidate)].selected = static_cast<int>(s);
  }
}

bool SpectralPvcDetector::matchTrack(const TrackPoint& previous, int& taken) const {
  const int hop = runN_ - runOverlap_;
  const float expected = previousPhase_[static_cast<std::size_t>(previous.bin)] +
                         static_cast<float>((previous.bin - 1) * hop) * kTwoPi / static_cast<float>(runM_);
  int nearFrequency = -1;
  int nearLevel = -1;
  int nearPhase = -1;
  float bestFrequency = 0.0f;
  float bestLevel = 0.0f;
  float bestPhase = 0.0f;
  float phaseOf[3] = {0.0f, 0.0f, 0.0f};  // phase distance of each nearest
  // Candidates rise in bin and so in frequency, and the truncated distance
  // previous - f falls as f rises: the candidates the frequency rule accepts
  // form one run, found by bisection, and the scan stops where it ends.
  auto offset = [&](const Candidate& cand) {
    return std::trunc(previous.frequency - binFrequency_[static_cast<std::size_t>(cand.bin)]);
  };
  const auto first = std::partition_point(candidates_.begin(), candidates_.end(),
                                          [&](const Candidate& cand) { return !(offset(cand) < kMatchFrequency); });
  for (std::size_t c = static_cast<std::size_t>(first - candidates_.begin()); c < candidates_.size(); ++c) {
    const Candidate& cand = candidates_[c];
    if (!(offset(cand) > -kMatchFrequency)) break;
    if (!cand.free) continue;
    const std::size_t bin = static_cast<std::size_t>(cand.bin);
    const float df = std::fabs(std::trunc(previous.frequency - binFrequency_[bin]));
    if (!(df < kMatchFrequency)) continue;
    const float dl = std::fabs(std::trunc(previous.level - level_[bin]));
    const float r = std::fmod(phase_[bin] - expected + kPi, kTwoPi);
    const float dp = std::fabs(std::trunc(r + kPi));
    const int ci = static_cast<int>(c);
    if (nearFrequency < 0 || df < bestFrequency) {
      nearFrequency = ci;
      bestFrequency = df;
      phaseOf[0] = dp;
    }
    if (nearLevel < 0 || dl < bestLevel) {
      nearLevel = ci;
      bestLevel = dl;
      phaseOf[1] = dp;
    }
    if (nearPhase < 0 || dp < bestPhase) {
      nearPhase = ci;
      bestPhase = dp;
      phaseOf[2] = dp;
    }
  }
  if (nearFrequency < 0) return false;
  const int a = nearFrequency;
  const int b = nearLevel;
  const int c = nearPhase;
  if (a == c && phaseOf[0] < kMatchPhase) {
    taken = a;
  } else if (a != c && b == c && phaseOf[2] < kMatchPhase) {
    taken = c;
  } else if (a != c && a == b && phaseOf[0] < kMatchPhase) {
    taken = a;
  } else {
    return false;
  }
  return true;
}

void SpectralPvcDetector::takeCandidate(int candidate) {
  Candidate& c = candidates_[static_cast<std::size_t>(candidate)];
  c.free = false;
  if (c.selected >= 0) selected_[static_cast<std::size_t>(c.selected)].assigned = true;
}

}  // namespace detect
