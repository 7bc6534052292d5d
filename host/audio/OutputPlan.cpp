#include "host/audio/OutputPlan.h"

#include <algorithm>

#include "host/audio/DiskFile.h"

namespace host {

bool parseFormatChoice(const std::string& name, FormatChoice& choice) {
  if (name == "same") choice = FormatChoice::Same;
  else if (name == "float32") choice = FormatChoice::Float32;
  else if (name == "pcm24") choice = FormatChoice::Pcm24;
  else if (name == "pcm16") choice = FormatChoice::Pcm16;
  else return false;
  return true;
}

WavOutputForm OutputPlan::form() const {
  WavOutputForm form;
  form.format = format;
  form.extensible = extensible;
  form.channelMask = channelMask;
  form.rf64 = rf64;
  form.dither = format != SampleFormat::Float32 && format != SampleFormat::Float64;
  form.chunks = &chunks;
  return form;
}

bool planOutput(const std::string& input, FormatChoice choice, const std::string& what, const FrameMapping* mapping,
                OutputPlan& plan, std::string& problem) {
  plan = OutputPlan{};
  DiskFile file(input, DiskFile::Mode::Read);
  if (!file.isOpen()) {
    problem = "cannot open " + input;
    return false;
  }
  DiskFileSource source(file);
  const WavHeaderResult header = readWavHeader(source);
  if (!header.ok()) {
    problem = header.message;
    return false;
  }
  const WavInfo& info = header.info;
  switch (choice) {
    case FormatChoice::Same: plan.format = info.format; break;
    case FormatChoice::Float32: plan.format = SampleFormat::Float32; break;
    case FormatChoice::Pcm24: plan.format = SampleFormat::Pcm24; break;
    case FormatChoice::Pcm16: plan.format = SampleFormat::Pcm16; break;
  }
  plan.extensible = info.extensible;
  plan.channelMask = info.extensible ? info.channelMask : 0;
  plan.rf64 = info.rf64;

  CarriedChunks carried = readCarriedChunks(source);
  plan.chunks = std::move(carried.chunks);
  for (const std::string& left : carried.leftBehind)
    plan.notes.push_back("the chunk " + left + " is too large to carry over and is left out");
  for (WavChunk& chunk : plan.chunks)
    if (chunk.is("bext") &&
        !appendCodingHistory(chunk, codingHistoryLine(plan.format, info.sampleRate, info.channels, what)))
      plan.notes.push_back("the bext chunk is too short to hold a coding history; carried as it is");
  const bool cues = std::any_of(plan.chunks.begin(), plan.chunks.end(), [](const WavChunk& c) { return c.is("cue "); });
  if (cues && !mapping)
    plan.notes.push_back("the cue points are carried where they were: the curve applied is not known here");
  if (cues && mapping && !moveCuePoints(plan.chunks, *mapping))
    plan.notes.push_back("the cue chunk does not hold together; carried as it is");
  return true;
}

}  // namespace host
