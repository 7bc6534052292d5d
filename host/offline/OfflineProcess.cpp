#include "host/offline/OfflineProcess.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace host {

namespace {

constexpr int kMaxTaskChannels = 64;

// Host positions are doubles holding frame numbers; they are truncated.
bool toFrame(double value, double limit, std::uint64_t& frame) {
  if (!std::isfinite(value) || value < 0.0 || value > limit) return false;
  frame = static_cast<std::uint64_t>(value);
  return true;
}

bool rangeOfChannels(int channels) { return channels >= 1 && channels <= kMaxTaskChannels; }

// Pointers to `wanted` arrays of count frames: the task's buffers first, then
// spare ones of silence for channels the task does not have.
std::vector<float*> channelArrays(std::vector<std::vector<float>>& buffers, int wanted, std::size_t count,
                                  std::vector<std::vector<float>>& spare) {
  std::vector<float*> arrays;
  const auto n = static_cast<std::size_t>(std::max(wanted, 0));
  const std::size_t own = std::min(n, buffers.size());
  for (std::size_t c = 0; c < own; ++c) arrays.push_back(buffers[c].data());
  spare.resize(n - own);
  for (auto& channel : spare) {
    channel.assign(count, 0.0f);
    arrays.push_back(channel.data());
  }
  return arrays;
}

}  // namespace

OfflineProcess::OfflineProcess(const std::vector<Source>& sources, int newFiles, const ProcessSettings& settings)
    : settings_(settings), tasks_(sources.size() + static_cast<std::size_t>(newFiles)), bindings_(tasks_.size()) {
  if (settings_.blockSize < 1) settings_.blockSize = 1;
  std::memset(static_cast<void*>(tasks_.data()), 0, tasks_.size() * sizeof(VstOfflineTask));

  // New files take the format of the first file until the plug-in says otherwise.
  double newRate = 44100.0;
  int newChannels = 1;
  if (!sources.empty()) {
    newRate = sources.front().file->audio->sampleRate();
    newChannels = std::clamp(sources.front().file->audio->channelCount(), 1, kMaxTaskChannels);
  }

  for (std::size_t i = 0; i < tasks_.size(); ++i) {
    VstOfflineTask& task = tasks_[i];
    Binding& binding = bindings_[i];
    task.hostOwned = static_cast<VstIntPtr>(i);
    task.maxFramesToWrite = settings_.maxFramesToWrite;
    if (i < sources.size()) {
      const Source& source = sources[i];
      const AudioStore& audio = *source.file->audio;
      const int channels = std::clamp(audio.channelCount(), 1, kMaxTaskChannels);
      binding.file = source.file;
      task.plugOwned = reinterpret_cast<VstIntPtr>(source.file->plugOwned);
      task.numFramesInSourceFile = static_cast<double>(audio.frames());
      task.sourceSampleRate = task.destinationSampleRate = audio.sampleRate();
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
      binding.newChannels = newChannels;
      binding.newRate = newRate;
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
      binding.newChannels = channels;
      binding.newRate = rate;
    }
    pin(i);
  }
  return true;
}

AudioStore* OfflineProcess::readable(const Binding& binding, bool readSource) const {
  if (readSource) return binding.file ? binding.file->audio.get() : nullptr;
  if (binding.file && !binding.changed) return binding.file->audio.get();
  return binding.written.get();
}

void OfflineProcess::noteFailure(std::string reason) {
  if (failure_.empty()) failure_ = std::move(reason);
}

bool OfflineProcess::refuse(std::string reason) {
  noteFailure(std::move(reason));
  return false;
}

std::unique_ptr<AudioStore> OfflineProcess::newStore(int channels, double rate) {
  if (settings_.scratchInMemory) return makeMemoryStore(AudioData::silence(channels, 0, rate));
  std::string problem;
  std::unique_ptr<AudioStore> store = makeScratchStore(settings_.scratchFolder, channels, rate, problem);
  if (!store) noteFailure(problem);
  return store;
}

bool OfflineProcess::readAudio(int i, bool readSource) {
  VstOfflineTask& task = tasks_[static_cast<std::size_t>(i)];
  Binding& binding = bindings_[static_cast<std::size_t>(i)];
  pin(static_cast<std::size_t>(i));
  std::uint64_t position = 0;
  if (readSource && !binding.file) return refuse("the plug-in asked for the source of a new file");
  if (task.readCount < 0 || task.readCount > settings_.blockSize)
    return refuse("the plug-in asked to read " + std::to_string(task.readCount) + " frames into a buffer of " +
                  std::to_string(settings_.blockSize));
  if (!toFrame(task.readPosition, 9.0e15, position)) return refuse("the plug-in asked to read from no frame position");
  AudioStore* audio = readable(binding, readSource);
  const auto count = static_cast<std::size_t>(task.readCount);
  const std::uint64_t frames = audio ? audio->frames() : 0;
  // Frames past the end read as silence, so a reader always moves on.
  const std::size_t available =
      position < frames ? static_cast<std::size_t>(std::min<std::uint64_t>(count, frames - position)) : 0;
  if (available > 0) {
    std::vector<float*> arrays = channelArrays(binding.input, audio->channelCount(), available, spare_);
    if (!audio->read(position, available, arrays.data()))
      return refuse(audio->problem().empty() ? "the audio cannot be read" : audio->problem());
  }
  for (std::size_t c = 0; c < binding.input.size(); ++c) {
    float* to = binding.input[c].data();
    const std::size_t filled = audio && static_cast<int>(c) < audio->channelCount() ? available : 0;
    std::fill(to + filled, to + count, 0.0f);
  }
  task.readPosition += task.readCount;
  return true;
}

bool OfflineProcess::writeAudio(int i) {
  VstOfflineTask& task = tasks_[static_cast<std::size_t>(i)];
  Binding& binding = bindings_[static_cast<std::size_t>(i)];
  pin(static_cast<std::size_t>(i));
  std::uint64_t position = 0;
  if (task.writeCount < 0 || task.writeCount > settings_.blockSize)
    return refuse("the plug-in asked to write " + std::to_string(task.writeCount) + " frames from a buffer of " +
                  std::to_string(settings_.blockSize));
  const auto count = static_cast<std::size_t>(task.writeCount);
  if (!toFrame(task.writePosition, settings_.maxFramesToWrite, position) ||
      static_cast<double>(position + count) > settings_.maxFramesToWrite)
    return refuse("the new audio would grow past " + std::to_string(static_cast<long long>(settings_.maxFramesToWrite)) +
                  " frames, far longer than its source");
  if (binding.file) {
    if (binding.file->readOnly) return refuse("the plug-in wrote to a read-only file");
    if (!binding.changed) {
      // Changes go to a copy, which replaces the file only when the process succeeds.
      AudioStore& source = *binding.file->audio;
      std::unique_ptr<AudioStore> copy = newStore(source.channelCount(), source.sampleRate());
      if (!copy) return false;
      std::string problem;
      if (!copyAudio(source, *copy, problem)) return refuse(problem);
      binding.written = std::move(copy);
      binding.changed = true;
    }
  } else if (!binding.written) {
    binding.written = newStore(binding.newChannels, binding.newRate);
    if (!binding.written) return false;
  }
  AudioStore& target = *binding.written;
  if (count > 0) {
    std::vector<float*> arrays = channelArrays(binding.output, target.channelCount(), count, spare_);
    if (!target.write(position, count, arrays.data()))
      return refuse(target.problem().empty() ? "the new audio cannot be written" : target.problem());
  }
  task.writePosition += task.writeCount;
  return true;
}

bool OfflineProcess::pluginFlaggedError() const {
  return std::any_of(tasks_.begin(), tasks_.end(),
                     [](const VstOfflineTask& task) { return (task.flags & kVstOfflinePlugError) != 0; });
}

std::vector<std::unique_ptr<AudioStore>> OfflineProcess::commit() {
  std::vector<std::unique_ptr<AudioStore>> created;
  for (Binding& binding : bindings_) {
    if (binding.file) {
      if (binding.changed) binding.file->audio = std::move(binding.written);
    } else {
      // A new file the plug-in never wrote to is empty.
      if (!binding.written) binding.written = makeMemoryStore(AudioData::silence(binding.newChannels, 0, binding.newRate));
      created.push_back(std::move(binding.written));
    }
    binding.changed = false;
  }
  return created;
}

}  // namespace host
