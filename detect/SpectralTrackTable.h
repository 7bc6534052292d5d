// The spectral detector's partial tracks. A track is started at a peak and
// extended frame by frame while it finds a matching peak; once it misses it
// stays stopped. Each track keeps only its own frames' frequencies and its
// latest peak, so the table costs memory in proportion to what was tracked,
// not to tracks times frames.
//
// The table has a slot capacity. When more new tracks are due than free
// slots remain, it grows by the shortfall and, in the same step, lets go of
// the stopped tracks shorter than kMinKept frames; the kept tracks keep
// their order and new tracks follow them.
#pragma once

#include <cstddef>
#include <vector>

namespace detect {

struct TrackPoint {
  int bin = -1;
  float frequency = -1.0f;
  float level = 100.0f;
};

struct SpectralTrack {
  int first = -1;
  int last = -1;
  bool alive = false;
  bool released = false;
  TrackPoint latest;
  std::vector<float> frequencies;  // frames first..last

  int length() const { return last - first + 1; }
  float frequencyAt(int frame) const { return frequencies[static_cast<std::size_t>(frame - first)]; }
};

class SpectralTrackTable {
 public:
  static constexpr int kInitialCapacity = 20;
  static constexpr int kMinKept = 10;

  void reset(int capacity = kInitialCapacity);

  int capacity() const { return capacity_; }
  // Tracks held in slots: started and not let go.
  int used() const { return used_; }
  int freeSlots() const { return capacity_ - used_; }
  int aliveCount() const { return static_cast<int>(alive_.size()); }

  // Starts a track in the next slot; false when no slot is free.
  bool start(int frame, const TrackPoint& point);
  void extend(int id, int frame, const TrackPoint& point);
  void stop(int id);
  // Adds `slots` to the capacity and lets go of the short stopped tracks.
  // Ids held from before are not valid afterwards.
  void grow(int slots);

  // Ids of the alive tracks in slot order.
  const std::vector<int>& alive() const { return alive_; }
  // Drops ids of tracks that stopped since the last call, keeping slot order.
  void settleAlive();
  const SpectralTrack& track(int id) const { return tracks_[static_cast<std::size_t>(id)]; }
  // The tracks held in slots, in slot order.
  std::vector<const SpectralTrack*> tracks() const;

 private:
  // Every track not yet compacted away, in slot order; released ones stay
  // until they are the majority, so that letting go costs constant time.
  std::vector<SpectralTrack> tracks_;
  std::vector<int> shortStopped_;  // stopped, shorter than kMinKept, still held
  std::vector<int> alive_;
  int capacity_ = kInitialCapacity;
  int used_ = 0;
};

}  // namespace detect
