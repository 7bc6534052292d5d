// The chunks of a WAV file besides its audio (bext, iXML, LIST, cue ...),
// carried from an input to the file made from it. They are read once when
// the output is planned, so each is held only up to a size: none of them is
// ever as large as the audio.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/audio/WavStream.h"

namespace host {

// Larger chunks are left behind (and named in CarriedChunks::leftBehind).
constexpr std::uint64_t kMaxCarriedChunk = 4u << 20;
constexpr std::uint64_t kMaxCarriedTotal = 16u << 20;

struct WavChunk {
  std::array<char, 4> id{};
  std::vector<std::uint8_t> body;
  bool afterData = false;  // stood after the data chunk in the input

  bool is(const char* name) const { return id[0] == name[0] && id[1] == name[1] && id[2] == name[2] && id[3] == name[3]; }
  std::string name() const { return std::string(id.data(), id.size()); }
};

struct CarriedChunks {
  std::vector<WavChunk> chunks;       // in the input's order
  std::vector<std::string> leftBehind;  // "NAME (N bytes)" for chunks too large to carry
};

// Every chunk but RIFF's own, fmt, data, fact, ds64 and JUNK, in order.
CarriedChunks readCarriedChunks(ByteSource& source);

// Appends one line (without its line end) to a bext chunk's coding history,
// ending the history's last line first when it is not ended; the fields
// before the history stay as they are. False, leaving the chunk alone, when
// it is too short to be a bext chunk.
bool appendCodingHistory(WavChunk& bext, const std::string& line);
// The coding-history line for audio of this shape: "A=PCM,F=96000,W=24,M=stereo,T=what".
std::string codingHistoryLine(SampleFormat format, std::uint32_t sampleRate, std::uint32_t channels,
                              const std::string& what);

// Maps input frames, ascending, to the output frames their audio lands on.
using FrameMapping = std::function<std::vector<std::uint64_t>(const std::vector<std::uint64_t>& ascending)>;

// Moves the points of a cue chunk, and the lengths of the ltxt entries of a
// LIST adtl chunk that name them, to where the mapping puts their audio.
// False, leaving them alone, when the cue chunk does not hold together.
bool moveCuePoints(std::vector<WavChunk>& chunks, const FrameMapping& mapping);

}  // namespace host
