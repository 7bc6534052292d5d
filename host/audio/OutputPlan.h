// How a processed file is written: in the input's sample format (or the one
// asked for), with the input's header kind and channel mask, and with the
// input's other chunks, its bext history told of the process and its cue
// points moved with their audio.
#pragma once

#include <string>
#include <vector>

#include "host/audio/WavChunks.h"
#include "host/audio/WavStream.h"

namespace host {

enum class FormatChoice { Same, Float32, Pcm24, Pcm16 };

// "same", "float32", "pcm24" or "pcm16"; false for any other name.
bool parseFormatChoice(const std::string& name, FormatChoice& choice);

struct OutputPlan {
  SampleFormat format = SampleFormat::Float32;
  bool extensible = false;
  std::uint32_t channelMask = 0;
  bool rf64 = false;
  std::vector<WavChunk> chunks;
  std::vector<std::string> notes;  // what the user is told about the chunks

  // Points into chunks: the plan must outlive the writing.
  WavOutputForm form() const;
};

// The plan for a file made from input by the process named in what (for
// the bext history, e.g. "Pelmora dewow hum"). Without a mapping the cue
// points stay where they were. False with a reason when the input cannot be
// read.
bool planOutput(const std::string& input, FormatChoice choice, const std::string& what, const FrameMapping* mapping,
                OutputPlan& plan, std::string& problem);

}  // namespace host
