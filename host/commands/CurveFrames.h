// Where the correction puts each input frame: the resampler emits an output
// frame at every read position and steps 1 / ratio input frames from one to
// the next, the ratio being the curve's at the frame the position is in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "curve/PvcPoint.h"
#include "host/audio/WavChunks.h"

namespace host {

// The output frame whose read position is nearest each input frame, for
// ascending input frames of a file inputFrames long (later frames go to
// the end of the output).
std::vector<std::uint64_t> correctedFrames(const std::vector<PvcPoint>& curve, std::uint64_t inputFrames,
                                           const std::vector<std::uint64_t>& ascending);

// The mapping along a curve text; nothing when it holds no point.
FrameMapping curveTextMapping(const std::string& text, std::uint64_t inputFrames);

}  // namespace host
