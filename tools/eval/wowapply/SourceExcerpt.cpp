#include "tools/eval/wowapply/SourceExcerpt.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace wowapply {

namespace {

struct SndfileCloser {
  void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

SndfileHandle openSource(const std::string& path, const RawFormat& raw, SF_INFO& info, std::string& problem) {
  info = SF_INFO{};
  if (raw.rate > 0) {
    info.samplerate = raw.rate;
    info.channels = raw.channels;
    info.format = SF_FORMAT_RAW | (raw.eightBit ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16) | SF_ENDIAN_LITTLE;
  }
  SndfileHandle file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file) problem = "cannot read " + path + ": " + sf_strerror(nullptr);
  else if (info.channels < 1 || info.samplerate < 1) problem = path + " has no audio";
  return file;
}

}  // namespace

bool probeSources(const std::vector<std::string>& files, double gapSeconds, const RawFormat& raw, SourceInfo& info,
                  std::string& problem) {
  info = SourceInfo{};
  if (files.empty()) {
    problem = "no input file";
    return false;
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    SF_INFO sf;
    if (!openSource(files[i], raw, sf, problem)) return false;
    if (i == 0) {
      info.sampleRate = sf.samplerate;
      info.channels = sf.channels;
    } else if (sf.samplerate != info.sampleRate || sf.channels != info.channels) {
      problem = files[i] + " has " + std::to_string(sf.channels) + " channels at " + std::to_string(sf.samplerate) +
                " Hz, unlike " + files[0];
      return false;
    }
    if (i > 0) info.frames += std::llround(gapSeconds * info.sampleRate);
    info.frames += sf.frames;
  }
  return true;
}

bool readExcerpt(const std::vector<std::string>& files, double gapSeconds, const RawFormat& raw, std::int64_t first,
                 std::int64_t frames, std::int64_t pad, Excerpt& excerpt, std::string& problem) {
  SourceInfo info;
  if (!probeSources(files, gapSeconds, raw, info, problem)) return false;
  if (first < 0 || frames < 2 || first + frames > info.frames) {
    problem = "the excerpt lies outside the recording (" + std::to_string(info.frames) + " frames)";
    return false;
  }
  excerpt = Excerpt{};
  excerpt.sampleRate = info.sampleRate;
  excerpt.pad = pad;
  excerpt.frames = frames;
  const std::int64_t total = frames + 2 * pad;
  excerpt.channels.assign(static_cast<std::size_t>(info.channels), std::vector<float>(static_cast<std::size_t>(total)));
  const std::int64_t wantFrom = first - pad;
  const std::int64_t wantTo = first + frames + pad;
  const std::int64_t gap = std::llround(gapSeconds * info.sampleRate);
  std::int64_t at = 0;  // where the file starts in the joint recording
  std::vector<float> block;
  for (const std::string& path : files) {
    SF_INFO sf;
    SndfileHandle file = openSource(path, raw, sf, problem);
    if (!file) return false;
    const std::int64_t from = std::max(wantFrom, at);
    const std::int64_t to = std::min(wantTo, at + static_cast<std::int64_t>(sf.frames));
    if (from < to) {
      if (from > at && sf_seek(file.get(), from - at, SEEK_SET) < 0) {
        problem = "cannot seek in " + path;
        return false;
      }
      for (std::int64_t done = from; done < to;) {
        const std::int64_t n = std::min<std::int64_t>(16384, to - done);
        block.resize(static_cast<std::size_t>(n * sf.channels));
        const sf_count_t got = sf_readf_float(file.get(), block.data(), n);
        if (got <= 0) {
          // A decoder may promise a few frames more than it gives: past the
          // excerpt that is silence, inside it a fault.
          if (done < first + frames) {
            problem = "cannot read " + path + " to its end";
            return false;
          }
          break;
        }
        for (sf_count_t i = 0; i < got; ++i)
          for (int c = 0; c < sf.channels; ++c)
            excerpt.channels[static_cast<std::size_t>(c)][static_cast<std::size_t>(done - wantFrom + i)] =
                block[static_cast<std::size_t>(i * sf.channels + c)];
        done += got;
      }
    }
    at += sf.frames + gap;
  }
  return true;
}

}  // namespace wowapply
