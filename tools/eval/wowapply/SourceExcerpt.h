// A stretch of a recording read through libsndfile (WAV, FLAC, Ogg Vorbis or
// Opus...). Several files play one after the other as one recording, with
// an optional silence between them, so that short clips (spoken lines) can
// make one longer recording.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wowapply {

// How to read headerless files: unsigned 8-bit or signed 16-bit
// little-endian samples, interleaved. rate 0: the files have headers.
struct RawFormat {
  int rate = 0;
  int channels = 1;
  bool eightBit = true;
};

struct SourceInfo {
  double sampleRate = 0.0;
  int channels = 0;
  std::int64_t frames = 0;  // of all the files with their gaps
};

// The common rate and channels of the files and their joint length; false
// with a message if a file cannot be read or differs from the first.
bool probeSources(const std::vector<std::string>& files, double gapSeconds, const RawFormat& raw, SourceInfo& info,
                  std::string& problem);

struct Excerpt {
  double sampleRate = 0.0;
  // Planar channels: pad frames, the excerpt, pad frames (silence where the
  // recording has none).
  std::vector<std::vector<float>> channels;
  std::int64_t pad = 0;
  std::int64_t frames = 0;  // of the excerpt itself
};

// Frames [first, first + frames) of the joint recording with pad frames on
// either side. The excerpt must lie inside the recording.
bool readExcerpt(const std::vector<std::string>& files, double gapSeconds, const RawFormat& raw, std::int64_t first,
                 std::int64_t frames, std::int64_t pad, Excerpt& excerpt, std::string& problem);

}  // namespace wowapply
