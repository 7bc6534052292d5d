// Groups the spectral detector's tracks into families that share a
// frequency range and turns each family into a relative frequency per
// frame: its smoothed frequency over its median. A family carries, per
// frame, the duration weight of the track that wrote it, by which the curve
// picks the most reliable family and the confidence setting drops frames.
#pragma once

#include <cstddef>
#include <vector>

#include "detect/SpectralTrackTable.h"

namespace detect {

class SpectralFamilies {
 public:
  static constexpr float kMinDuration = 0.05f;  // of the run, for a track to count
  static constexpr float kClassWidth = 25.0f;   // Hz
  static constexpr float kClassReach = 12.5f;
  static constexpr float kHeadroom = 2000.0f;   // Hz above the band in the histograms
  static constexpr float kMinOverlap = 0.05f;   // histogram product that joins a family

  void clear();
  // Builds the families from the tracks (in table order) of a run of
  // `frames` frames whose band ends at bandHigh.
  void collect(const std::vector<const SpectralTrack*>& tracks, int frames, float bandHigh);

  int count() const { return static_cast<int>(families_.size()); }
  int frames() const { return frames_; }
  void setConfidence(float x);

  bool enabled(int family, int frame) const;
  float weight(int family, int frame) const;
  float smoothed(int family, int frame) const;
  float relative(int family, int frame) const;
  // The speed at each frame: the relative frequency of the family with the
  // greatest enabled weight there, 1.0 where it is disabled or there is none.
  std::vector<float> curve() const;

 private:
  // A family's rows cover frames first..last; outside them it has no
  // frequency, weight 0 and relative frequency 1.0.
  struct Family {
    int first = 0;
    int last = -1;
    std::vector<float> frequency;
    std::vector<float> relative;
    std::vector<float> weight;
    std::vector<char> enabled;
    bool enabledOutside = true;

    bool covers(int frame) const { return frame >= first && frame <= last; }
    std::size_t slot(int frame) const { return static_cast<std::size_t>(frame - first); }
  };

  static void smoothRuns(Family& family);

  std::vector<Family> families_;
  int frames_ = 0;
};

}  // namespace detect
