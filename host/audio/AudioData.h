// Audio held in memory: one float array per channel, all of the same length.
#pragma once

#include <cstddef>
#include <vector>

namespace host {

struct AudioData {
  double sampleRate = 44100.0;
  std::vector<std::vector<float>> channels;

  int channelCount() const { return static_cast<int>(channels.size()); }
  std::size_t frames() const { return channels.empty() ? 0 : channels.front().size(); }

  // Every channel gets the same length; new frames are silence.
  void resizeFrames(std::size_t frames) {
    for (auto& channel : channels) channel.resize(frames, 0.0f);
  }

  static AudioData silence(int channelCount, std::size_t frames, double sampleRate) {
    AudioData audio;
    audio.sampleRate = sampleRate;
    audio.channels.assign(static_cast<std::size_t>(channelCount > 0 ? channelCount : 0),
                          std::vector<float>(frames, 0.0f));
    return audio;
  }
};

}  // namespace host
