// Links the peaks of successive frames into tracks: a peak continues the
// track whose last frequency lies nearest, within a tolerance. Tracks that
// lasted long enough are kept, without their first and last frames (onsets
// and decays pull a frequency about); the rest are dropped at once, so what
// stays grows with the music's sustained partials, not with its length alone.
#pragma once

#include <cstdint>
#include <vector>

#include "partials/FramePeaks.h"

namespace partials {

struct Observation {
  std::int32_t frame;  // analysis frame
  float logFrequency;  // relative to the track's first, so that float keeps the detail
  float weight;        // inverse variance of the log frequency
};

struct Track {
  double logBase = 0.0;     // log frequency the observations are relative to
  std::uint32_t first = 0;  // index of the first observation
  std::uint32_t count = 0;
};

class PartialTracks {
 public:
  // binHz: the transform's bin spacing; noiseScale: the standard deviation of
  // a log frequency read at a power ratio of 1 at 1 Hz (scales as 1/(f sqrt(snr))).
  PartialTracks(double binHz, double noiseScale, int minLength);

  void add(std::int32_t frame, const std::vector<Peak>& peaks);
  // Ends every open track.
  void close();

  const std::vector<Track>& tracks() const { return tracks_; }
  const std::vector<Observation>& observations() const { return observations_; }

 private:
  struct Open {
    double lastLog;
    std::int32_t lastFrame;
    std::vector<Peak> peaks;
    std::vector<std::int32_t> frames;
  };
  void end(Open& open);

  double binHz_;
  double noiseScale_;
  int minLength_;
  std::vector<Open> open_;
  std::vector<Open> next_;
  std::vector<Open> spare_;
  std::vector<Track> tracks_;
  std::vector<Observation> observations_;
};

}  // namespace partials
