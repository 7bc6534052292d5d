#include "host/OfflineProcess.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace host {

namespace {

constexpr int kMaxTaskChannels = 64;

// Host positions are doubles holding frame numbers; they are truncated.
bool toFrame(double value, double limit, std::size_t& frame) {
  if (!std::isfinite(value) || value < 0.0 || value > limit) return false;
  frame = static_cast<std::size_t>(value);
  return true;
}

bool rangeOfChannels(int channels) { return channels >= 1 && channels <= kMaxTaskChannels; }

}  // namespace

OfflineProcess::OfflineProcess(const std::vector<Source>& sources, int newFiles, const ProcessSettings& settings)
    : settings_(settings), tasks_(sources.size() + static_cast<std::size_t>(newFiles)), bindings_(tasks_.size()) {
  if (settings_.blockSize < 1) settings_.blockSize = 1;
  std::memset(static_cast<void*>(tasks_.data()), 0, tasks_.size() * sizeof(VstOfflineTask));

  // New files take the format of the first file until the plug-in says otherwise.
  double newRate = 44100.0;
  int newChannels = 1;
  if (!sources.empty()) {
    newRate = sources.front().file->audio.sampleRate;
    newChannels = std::clamp(sources.front().file->audio.channelCount(), 1, kMaxTaskChannels);
  }

  for (std::size_t i = 0; i < tasks_.size(); ++i) {
    VstOfflineTask& task = tasks_[i];
    Binding& binding = bindings_[i];
    task.hostOwned = static_cast<VstIntPtr>(i);
    task.maxFramesToWrite = settings_.maxFramesToWrite;
    if (i < sources.size()) {
      const Source& source = sources[i];
      const AudioData& audio = source.file->audio;
      const int channels = std::clamp(audio.channelCount(), 1, kMaxTaskChannels);
      binding.file = source.file;
      task.plugOwned = reinterpret_cast<VstIntPtr>(source.file->plugOwned);
      task.numFramesInSourceFile = static_cast<double>(audio.frames());
      task.sourceSampleRate = task.destinationSampleRate = audio.sampleRate;
      task.numSourceChannels = task.numDestinationChannels = channels;
      // A selection is processed only when the plug-in said it can do that.
      if ((source.flags & kVstOfflineCanProcessSelection) && source.file->hasSelection()) {
        task.positionToProcessFrom = source.file->selectionStart;
        task.numFramesToProcess = source.file->selectionSize;
      } else {
        task.positionToProcessFrom = 0.0;
        task.numFramesToProcess = static_cast<double>(audio.frames());
      }
      allocate(binding, channels, channels);
    } else {
      task.flags = kVstOfflineNewFile;
      task.sourceSampleRate = task.destinationSampleRate = newRate;
      task.numSourceChannels = task.numDestinationChannels = newChannels;
      allocate(binding, newChannels, newChannels);
      binding.written = AudioData::silence(newChannels, 0, newRate);
    }
    pin(i);
  }
}

void OfflineProcess::allocate(Binding& binding, int inputChannels, int outputChannels) {
  const auto size = static_cast<std::size_t>(settings_.blockSize);
  binding.input.assign(static_cast<std::size_t>(inputChannels), std::vector<float>(size, 0.0f));
  binding.output.assign(static_cast<std::size_t>(outputChannels), std::vector<float>(size, 0.0f));
  binding.inputPointers.clear();
  binding.outputPointers.clear();
  for (auto& channel : binding.input) binding.inputPointers.push_back(channel.data());
  for (auto& channel : binding.output) binding.outputPointers.push_back(channel.data());
}

// The buffer fields belong to the host: whatever the plug-in left there, the
// host reads and writes only its own arrays.
void OfflineProcess::pin(std::size_t i) {
  VstOfflineTask& task = tasks_[i];
  Binding& binding = bindings_[i];
  task.inputBuffer = binding.inputPointers.data();
  task.outputBuffer = binding.outputPointers.data();
  task.sizeInputBuffer = settings_.blockSize;
  task.sizeOutputBuffer = settings_.blockSize;
}

int OfflineProcess::indexOf(const VstOfflineTask* task) const {
  for (std::size_t i = 0; i < tasks_.size(); ++i)
    if (&tasks_[i] == task) return static_cast<int>(i);
  return -1;
}

bool OfflineProcess::adoptPluginSetUp(std::string& problem) {
  for (std::size_t i = 0; i < tasks_.size(); ++i) {
    VstOfflineTask& task = tasks_[i];
    Binding& binding = bindings_[i];
    if (!binding.file) {
      const int channels = task.numDestinationChannels;
      const double rate = task.destinationSampleRate;
      if (!rangeOfChannels(channels)) {
        problem = "the plug-in asked for a new file with " + std::to_string(channels) + " channels";
        return false;
      }
      if (!std::isfinite(rate) || rate <= 0.0) {
        problem = "the plug-in asked for a new file without a valid sample rate";
        return false;
      }
      if (channels != static_cast<int>(binding.output.size()))
        allocate(binding, static_cast<int>(binding.input.size()), channels);
      binding.written = AudioData::silence(channels, 0, rate);
    }
    pin(i);
  }
  return true;
}

const AudioData* OfflineProcess::readable(const Binding& binding, bool readSource) const {
  if (readSource) return binding.file ? &binding.file->audio : nullptr;
  if (binding.file && !binding.changed) return &binding.file->audio;
  return &binding.written;
}

bool OfflineProcess::readAudio(int i, bool readSource) {
  VstOfflineTask& task = tasks_[static_cast<std::size_t>(i)];
  Binding& binding = bindings_[static_cast<std::size_t>(i)];
  pin(static_cast<std::size_t>(i));
  const AudioData* audio = readable(binding, readSource);
  std::size_t position = 0;
  if (!audio || task.readCount < 0 || task.readCount > settings_.blockSize ||
      !toFrame(task.readPosition, 9.0e15, position))
    return false;
  const auto count = static_cast<std::size_t>(task.readCount);
  const std::size_t frames = audio->frames();
  // Frames past the end read as silence, so a reader always moves on.
  const std::size_t available = position < frames ? std::min(count, frames - position) : 0;
  for (std::size_t c = 0; c < binding.input.size(); ++c) {
    float* to = binding.input[c].data();
    if (static_cast<int>(c) < audio->channelCount() && available > 0)
      std::copy_n(audio->channels[c].begin() + static_cast<std::ptrdiff_t>(position), available, to);
    std::fill(to + available, to + count, 0.0f);
  }
  task.readPosition += task.readCount;
  return true;
}

bool OfflineProcess::writeAudio(int i) {
  VstOfflineTask& task = tasks_[static_cast<std::size_t>(i)];
  Binding& binding = bindings_[static_cast<std::size_t>(i)];
  pin(static_cast<std::size_t>(i));
  std::size_t position = 0;
  if (task.writeCount < 0 || task.writeCount > settings_.blockSize ||
      !toFrame(task.writePosition, settings_.maxFramesToWrite, position))
    return false;
  const auto count = static_cast<std::size_t>(task.writeCount);
  if (static_cast<double>(position + count) > settings_.maxFramesToWrite) return false;
  if (binding.file) {
    if (binding.file->readOnly) return false;
    if (!binding.changed) {
      binding.written = binding.file->audio;
      binding.changed = true;
    }
  }
  AudioData& target = binding.written;
  if (target.frames() < position + count) target.resizeFrames(position + count);
  const std::size_t channels = std::min(binding.output.size(), target.channels.size());
  for (std::size_t c = 0; c < channels; ++c)
    std::copy_n(binding.output[c].begin(), count, target.channels[c].begin() + static_cast<std::ptrdiff_t>(position));
  task.writePosition += task.writeCount;
  return true;
}

bool OfflineProcess::pluginFlaggedError() const {
  return std::any_of(tasks_.begin(), tasks_.end(),
                     [](const VstOfflineTask& task) { return (task.flags & kVstOfflinePlugError) != 0; });
}

std::vector<AudioData> OfflineProcess::commit() {
  std::vector<AudioData> created;
  for (Binding& binding : bindings_) {
    if (binding.file) {
      if (binding.changed) binding.file->audio = std::move(binding.written);
    } else {
      created.push_back(std::move(binding.written));
    }
    binding.changed = false;
  }
  return created;
}

}  // namespace host
