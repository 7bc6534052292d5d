#include "host/audio/AudioStore.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "host/audio/DiskFile.h"
#include "host/audio/WavFileOutput.h"

namespace host {

namespace {

constexpr std::size_t kCopyFrames = 65536;

class MemoryStore : public AudioStore {
 public:
  explicit MemoryStore(AudioData audio) : audio_(std::move(audio)) {}
  double sampleRate() const override { return audio_.sampleRate; }
  int channelCount() const override { return audio_.channelCount(); }
  std::uint64_t frames() const override { return audio_.frames(); }

  bool read(std::uint64_t position, std::size_t count, float* const* channels) override {
    if (position > audio_.frames() || count > audio_.frames() - position) return false;
    for (int c = 0; c < channelCount(); ++c)
      std::copy_n(audio_.channels[static_cast<std::size_t>(c)].begin() + static_cast<std::ptrdiff_t>(position),
                  count, channels[c]);
    return true;
  }

  bool write(std::uint64_t position, std::size_t count, const float* const* channels) override {
    const auto end = static_cast<std::size_t>(position) + count;
    if (audio_.frames() < end) audio_.resizeFrames(end);
    for (int c = 0; c < channelCount(); ++c)
      std::copy_n(channels[c], count,
                  audio_.channels[static_cast<std::size_t>(c)].begin() + static_cast<std::ptrdiff_t>(position));
    return true;
  }

 private:
  AudioData audio_;
};

// Interleaved 32-bit floats, nothing else: a plain file the host can read
// and write at any frame.
class ScratchStore : public AudioStore {
 public:
  ScratchStore(std::string path, DiskFile file, int channels, double sampleRate)
      : path_(std::move(path)), file_(std::move(file)), channels_(channels), sampleRate_(sampleRate) {}
  ~ScratchStore() override {
    file_.close();
    removeFile(path_);
  }

  double sampleRate() const override { return sampleRate_; }
  int channelCount() const override { return channels_; }
  std::uint64_t frames() const override { return frames_; }
  std::string problem() const override { return problem_; }

  bool read(std::uint64_t position, std::size_t count, float* const* channels) override {
    if (position > frames_ || count > frames_ - position) return false;
    const std::size_t width = static_cast<std::size_t>(channels_);
    buffer_.resize(count * width);
    if (!file_.readAt(position * width * sizeof(float), buffer_.data(), buffer_.size() * sizeof(float))) {
      problem_ = "the scratch file cannot be read";
      return false;
    }
    for (std::size_t f = 0; f < count; ++f)
      for (std::size_t c = 0; c < width; ++c) channels[c][f] = buffer_[f * width + c];
    return true;
  }

  bool write(std::uint64_t position, std::size_t count, const float* const* channels) override {
    const std::size_t width = static_cast<std::size_t>(channels_);
    // Silence up to the write, so the file has no hole of undefined frames.
    while (frames_ < position) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyFrames, position - frames_));
      buffer_.assign(n * width, 0.0f);
      if (!put(frames_, n)) return false;
      frames_ += n;
    }
    buffer_.resize(count * width);
    for (std::size_t f = 0; f < count; ++f)
      for (std::size_t c = 0; c < width; ++c) buffer_[f * width + c] = channels[c][f];
    if (!put(position, count)) return false;
    frames_ = std::max(frames_, position + count);
    return true;
  }

 private:
  bool put(std::uint64_t position, std::size_t count) {
    const std::size_t width = static_cast<std::size_t>(channels_);
    if (!file_.writeAt(position * width * sizeof(float), buffer_.data(), count * width * sizeof(float))) {
      problem_ = "the scratch file cannot be written (is the disk full?)";
      return false;
    }
    return true;
  }

  std::string path_;
  DiskFile file_;
  int channels_;
  double sampleRate_;
  std::uint64_t frames_ = 0;
  std::vector<float> buffer_;
  std::string problem_;
};

}  // namespace

std::unique_ptr<AudioStore> makeMemoryStore(AudioData audio) { return std::make_unique<MemoryStore>(std::move(audio)); }

std::unique_ptr<AudioStore> makeScratchStore(const std::string& folder, int channels, double sampleRate,
                                             std::string& problem) {
  std::error_code error;
  std::filesystem::path where = folder.empty() ? std::filesystem::temp_directory_path(error) : pathFromUtf8(folder);
  if (error) {
    problem = "there is no temporary folder for the new audio";
    return nullptr;
  }
  const std::string path = temporaryNameBeside(utf8FromPath(where / "pelmora"), "scratch");
  DiskFile file(path, DiskFile::Mode::Create);
  if (!file.isOpen()) {
    problem = "cannot create a scratch file in " + utf8FromPath(where);
    return nullptr;
  }
  return std::make_unique<ScratchStore>(path, std::move(file), channels, sampleRate);
}

AudioData readAll(AudioStore& store) {
  AudioData audio = AudioData::silence(store.channelCount(), static_cast<std::size_t>(store.frames()),
                                       store.sampleRate());
  std::vector<float*> to(audio.channels.size());
  for (std::size_t c = 0; c < to.size(); ++c) to[c] = audio.channels[c].data();
  if (!store.read(0, audio.frames(), to.data())) audio.resizeFrames(0);
  return audio;
}

bool copyAudio(AudioStore& from, AudioStore& to, std::string& problem) {
  const auto channels = static_cast<std::size_t>(from.channelCount());
  std::vector<std::vector<float>> block(channels, std::vector<float>(kCopyFrames));
  std::vector<float*> pointers(channels);
  for (std::size_t c = 0; c < channels; ++c) pointers[c] = block[c].data();
  for (std::uint64_t done = 0; done < from.frames();) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyFrames, from.frames() - done));
    if (!from.read(done, n, pointers.data())) {
      problem = from.problem().empty() ? "the audio cannot be read" : from.problem();
      return false;
    }
    if (!to.write(done, n, pointers.data())) {
      problem = to.problem().empty() ? "the audio cannot be written" : to.problem();
      return false;
    }
    done += n;
  }
  return true;
}

}  // namespace host
