// The strongest sustained partial of a recording within a band: the peak of
// the median power spectrum over the frames, so that a partial heard all
// along outweighs a loud one heard once.
#pragma once

#include <vector>

namespace partialpick {

// 0 when the band holds no peak. Frames of 8192 samples, half overlapping.
double strongestSustainedPartial(const std::vector<float>& mono, double sampleRate, double lowHz, double highHz);

}  // namespace partialpick
