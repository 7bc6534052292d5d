#include "detect/SpectralTrackTable.h"

#include <algorithm>

namespace detect {

void SpectralTrackTable::reset(int capacity) {
  tracks_.clear();
  released_.clear();
  shortStopped_.clear();
  alive_.clear();
  capacity_ = std::max(capacity, 0);
  used_ = 0;
}

bool SpectralTrackTable::start(int frame, const TrackPoint& point) {
  if (freeSlots() <= 0) return false;
  SpectralTrack track;
  track.first = frame;
  track.last = frame;
  track.alive = true;
  track.points.push_back(point);
  tracks_.push_back(std::move(track));
  released_.push_back(0);
  alive_.push_back(static_cast<int>(tracks_.size()) - 1);
  ++used_;
  return true;
}

void SpectralTrackTable::extend(int id, int frame, const TrackPoint& point) {
  SpectralTrack& track = tracks_[static_cast<std::size_t>(id)];
  track.points.push_back(point);
  track.last = frame;
}

void SpectralTrackTable::stop(int id) {
  SpectralTrack& track = tracks_[static_cast<std::size_t>(id)];
  if (!track.alive) return;
  track.alive = false;
  if (track.length() < kMinKept) shortStopped_.push_back(id);
}

void SpectralTrackTable::settleAlive() {
  std::erase_if(alive_, [this](int id) { return !tracks_[static_cast<std::size_t>(id)].alive; });
}

void SpectralTrackTable::grow(int slots) {
  for (int id : shortStopped_) {
    released_[static_cast<std::size_t>(id)] = 1;
    tracks_[static_cast<std::size_t>(id)].points = {};
    --used_;
  }
  shortStopped_.clear();
  capacity_ += std::max(slots, 0);
}

std::vector<const SpectralTrack*> SpectralTrackTable::tracks() const {
  std::vector<const SpectralTrack*> held;
  held.reserve(static_cast<std::size_t>(used_));
  for (std::size_t id = 0; id < tracks_.size(); ++id) {
    if (!released_[id]) held.push_back(&tracks_[id]);
  }
  return held;
}

}  // namespace detect
