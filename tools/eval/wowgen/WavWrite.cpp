#include "tools/eval/wowgen/WavWrite.h"

#include <sndfile.h>

#include <algorithm>

namespace wowgen {

namespace {

int subtype(OutputFormat format) {
  switch (format) {
    case OutputFormat::Pcm16: return SF_FORMAT_PCM_16;
    case OutputFormat::Pcm24: return SF_FORMAT_PCM_24;
    case OutputFormat::Float32: break;
  }
  return SF_FORMAT_FLOAT;
}

}  // namespace

bool writeWav(const std::string& path, double sampleRate, const std::vector<std::vector<float>>& channels,
              OutputFormat format, std::string& problem) {
  if (channels.empty()) {
    problem = "nothing to write to " + path;
    return false;
  }
  SF_INFO info{};
  info.samplerate = static_cast<int>(sampleRate);
  info.channels = static_cast<int>(channels.size());
  info.format = SF_FORMAT_WAV | subtype(format);
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) {
    problem = "cannot create " + path + ": " + sf_strerror(nullptr);
    return false;
  }
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  const std::size_t frames = channels.front().size();
  std::vector<float> block;
  bool ok = true;
  for (std::size_t done = 0; done < frames && ok;) {
    const std::size_t n = std::min<std::size_t>(8192, frames - done);
    block.resize(n * channels.size());
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t c = 0; c < channels.size(); ++c) block[i * channels.size() + c] = channels[c][done + i];
    ok = sf_writef_float(file, block.data(), static_cast<sf_count_t>(n)) == static_cast<sf_count_t>(n);
    done += n;
  }
  if (sf_close(file) != 0) ok = false;
  if (!ok) problem = "cannot write " + path;
  return ok;
}

}  // namespace wowgen
