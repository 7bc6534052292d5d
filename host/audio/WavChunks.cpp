#include "host/audio/WavChunks.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "host/audio/WavLayout.h"

namespace host {

namespace {

using namespace wav;

std::uint64_t get64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(get32(p)) | (static_cast<std::uint64_t>(get32(p + 4)) << 32);
}

bool named(const std::uint8_t* id, const char* name) { return std::memcmp(id, name, 4) == 0; }

// The chunks a writer makes anew for the audio it writes.
bool madeByWriter(const std::uint8_t* id) {
  return named(id, "fmt ") || named(id, "data") || named(id, "fact") || named(id, "ds64") || named(id, "JUNK");
}

constexpr std::size_t kBextFixed = 602;  // the fields before the coding history

std::uint32_t clampFrame(std::uint64_t frame) {
  return frame > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(frame);
}

}  // namespace

CarriedChunks readCarriedChunks(ByteSource& source) {
  CarriedChunks carried;
  const std::uint64_t fileEnd = source.size();
  std::uint8_t header[12];
  if (fileEnd < 12 || !source.readAt(0, header, 12)) return carried;
  const bool rf64 = named(header, "RF64") || named(header, "BW64");
  std::uint64_t ds64DataBytes = 0;
  std::uint64_t total = 0;
  bool afterData = false;
  for (std::uint64_t offset = 12; offset + 8 <= fileEnd;) {
    std::uint8_t chunk[8];
    if (!source.readAt(offset, chunk, 8)) break;
    std::uint64_t size = get32(chunk + 4);
    const std::uint64_t start = offset + 8;
    const std::uint64_t available = fileEnd - start;
    if (rf64 && named(chunk, "ds64")) {
      std::uint8_t body[24];
      if (size >= 24 && available >= 24 && source.readAt(start, body, 24)) ds64DataBytes = get64(body + 8);
    } else if (named(chunk, "data")) {
      if (rf64 && size == 0xFFFFFFFFu) size = ds64DataBytes;
      afterData = true;
    } else if (!madeByWriter(chunk)) {
      // A chunk cut short by the file's end is not carried: its reader would
      // take whatever follows it for its body.
      const std::string name(reinterpret_cast<const char*>(chunk), 4);
      if (size > available) break;
      if (size > kMaxCarriedChunk || total + size > kMaxCarriedTotal) {
        carried.leftBehind.push_back(name + " (" + std::to_string(size) + " bytes)");
      } else {
        WavChunk kept;
        std::memcpy(kept.id.data(), chunk, 4);
        kept.body.resize(static_cast<std::size_t>(size));
        kept.afterData = afterData;
        if (size > 0 && !source.readAt(start, kept.body.data(), kept.body.size())) break;
        total += size;
        carried.chunks.push_back(std::move(kept));
      }
    }
    const std::uint64_t skip = size + (size & 1u);
    if (skip >= available) break;
    offset = start + skip;
  }
  return carried;
}

std::string codingHistoryLine(SampleFormat format, std::uint32_t sampleRate, std::uint32_t channels,
                              const std::string& what) {
  const std::string mode = channels == 1 ? "mono" : channels == 2 ? "stereo" : std::to_string(channels) + "-channel";
  return "A=PCM,F=" + std::to_string(sampleRate) + ",W=" + std::to_string(bytesPerSample(format) * 8) + ",M=" + mode +
         ",T=" + what;
}

bool appendCodingHistory(WavChunk& bext, const std::string& line) {
  if (bext.body.size() < kBextFixed) return false;
  // The history is text; writers pad it with zeros, which end it.
  std::size_t end = kBextFixed;
  while (end < bext.body.size() && bext.body[end] != 0) ++end;
  std::string added;
  if (end > kBextFixed && !(end - kBextFixed >= 2 && bext.body[end - 2] == '\r' && bext.body[end - 1] == '\n'))
    added += "\r\n";
  added += line + "\r\n";
  bext.body.resize(end);
  bext.body.insert(bext.body.end(), added.begin(), added.end());
  return true;
}

bool moveCuePoints(std::vector<WavChunk>& chunks, const FrameMapping& mapping) {
  auto cue = std::find_if(chunks.begin(), chunks.end(), [](const WavChunk& c) { return c.is("cue "); });
  if (cue == chunks.end()) return true;
  std::vector<std::uint8_t>& body = cue->body;
  if (body.size() < 4) return false;
  const std::uint64_t count = get32(body.data());
  if (body.size() < 4 + count * 24) return false;

  // Where each cue starts, by its id, for the regions of LIST adtl.
  std::map<std::uint32_t, std::uint32_t> startOf;
  std::vector<std::uint64_t> frames;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint8_t* p = body.data() + 4 + i * 24;
    frames.push_back(get32(p + 4));
    frames.push_back(get32(p + 20));
    startOf[get32(p)] = get32(p + 20);
  }
  // The ltxt entries of LIST adtl chunks: body offset of their length field.
  struct Region {
    WavChunk* chunk;
    std::size_t lengthAt;
    std::uint64_t start;
    std::uint64_t end;
  };
  std::vector<Region> regions;
  for (WavChunk& c : chunks) {
    if (!c.is("LIST") || c.body.size() < 4 || !named(c.body.data(), "adtl")) continue;
    for (std::size_t at = 4; at + 8 <= c.body.size();) {
      const std::uint64_t size = get32(c.body.data() + at + 4);
      if (size > c.body.size() - at - 8) break;
      if (named(c.body.data() + at, "ltxt") && size >= 8) {
        const auto found = startOf.find(get32(c.body.data() + at + 8));
        if (found != startOf.end()) {
          const std::uint64_t start = found->second;
          const std::uint64_t end = start + get32(c.body.data() + at + 12);
          regions.push_back({&c, at + 12, start, end});
          frames.push_back(end);
        }
      }
      at += 8 + size + (size & 1u);
    }
  }
  std::vector<std::uint64_t> ascending = frames;
  std::sort(ascending.begin(), ascending.end());
  ascending.erase(std::unique(ascending.begin(), ascending.end()), ascending.end());
  const std::vector<std::uint64_t> moved = mapping(ascending);
  if (moved.size() != ascending.size()) return false;
  const auto to = [&](std::uint64_t frame) {
    return moved[static_cast<std::size_t>(std::lower_bound(ascending.begin(), ascending.end(), frame) -
                                          ascending.begin())];
  };
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint8_t* p = body.data() + 4 + i * 24;
    put32(p + 4, clampFrame(to(get32(p + 4))));
    put32(p + 20, clampFrame(to(get32(p + 20))));
  }
  for (const Region& r : regions) {
    const std::uint64_t start = to(r.start);
    const std::uint64_t end = to(r.end);
    put32(r.chunk->body.data() + r.lengthAt, clampFrame(end > start ? end - start : 0));
  }
  return true;
}

}  // namespace host
