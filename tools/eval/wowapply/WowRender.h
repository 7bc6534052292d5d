// Plays an excerpt with a known speed variation: recording frame n holds the
// content at content time contentTime(n / rate), read between samples with a
// windowed sinc. Mains hum and a pilot tone, when asked for, are made at the
// same content time, so they are phase-continuous and follow the speed as
// if they had been on the recording before it was played unevenly.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/eval/wowapply/SourceExcerpt.h"
#include "tools/eval/wowgen/SpeedCurve.h"

namespace wowapply {

struct Additions {
  double humFrequency = 0.0;  // 0: none
  double humDb = -20.0;       // the hum's RMS against the music's
  int humHarmonics = 3;       // the k-th at 1/k of the fundamental's amplitude
  double pilotFrequency = 0.0;
  double pilotDb = -30.0;
};

// The RMS of the excerpt (without its pads) over all channels.
double excerptRms(const Excerpt& excerpt);

// The largest distance in frames between content and recording time over
// frames recording frames: how much pad the excerpt needs.
double largestShift(const wowgen::SpeedCurve& speed, double sampleRate, std::int64_t frames);

// excerpt.frames recording frames, one array per channel.
std::vector<std::vector<float>> renderWowed(const Excerpt& excerpt, const wowgen::SpeedCurve& speed,
                                            const Additions& additions);

}  // namespace wowapply
