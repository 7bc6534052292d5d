#include "detect/SpectralTrackTable.h"

#include <algorithm>

namespace detect {

void SpectralTrackTable::reset(int capacity) {
  tracks_.clear();
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
  track.latest = point;
  track.frequencies.push_back(point.frequency);
  tracks_.push_back(std::move(track));
  alive_.push_back(static_cast<int>(tracks_.size()) - 1);
  ++used_;
  return true;
}

void SpectralTrackTable::extend(int id, int frame, const TrackPoint& point) {
  SpectralTrack& track = tracks_[static_cast<std::size_t>(id)];
  track.frequencies.push_back(point.frequency);
  track.latest = point;
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
    SpectralTrack& track = tracks_[static_cast<std::size_t>(id)];
    track.released = true;
    track.frequencies = {};
    --used_;
  }
  shortStopped_.clear();
  capacity_ += std::max(slots, 0);

  if (static_cast<std::size_t>(used_) * 2 < tracks_.size()) {
    std::erase_if(tracks_, [](const SpectralTrack& t) { return t.released; });
    alive_.clear();
    for (std::size_t id = 0; id < tracks_.size(); ++id) {
      if (tracks_[id].alive) alive_.push_back(static_cast<int>(id));
    }
  }
}

std::vector<const SpectralTrack*> SpectralTrackTable::tracks() const {
  std::vector<const SpectralTrack*> held;
  held.reserve(static_cast<std::size_t>(used_));
  for (const SpectralTrack& track : tracks_) {
    if (!track.released) held.push_back(&track);
  }
  return held;
}

}  // namespace detect
