#include "host/audio/AudioFiles.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <vector>

#include "host/audio/DiskFile.h"
#include "host/audio/WavFileOutput.h"
#include "host/audio/WavStream.h"
#include "host/offline/OfflineHost.h"

namespace host {

namespace {

constexpr std::size_t kBlockFrames = 65536;

class WavFileStore : public AudioStore {
 public:
  WavFileStore(DiskFile file, const WavInfo& info, bool repair)
      : file_(std::move(file)), source_(file_), info_(info), repair_(repair) {}

  double sampleRate() const override { return info_.sampleRate; }
  int channelCount() const override { return static_cast<int>(info_.channels); }
  std::uint64_t frames() const override { return info_.frames; }
  std::string problem() const override { return problem_; }

  bool read(std::uint64_t position, std::size_t count, float* const* channels) override {
    if (!readWavFrames(source_, info_, position, count, channels, buffer_)) {
      problem_ = "the input file cannot be read";
      return false;
    }
    if (repair_)
      for (std::uint32_t c = 0; c < info_.channels; ++c)
        std::replace_if(channels[c], channels[c] + count, [](float v) { return !std::isfinite(v); }, 0.0f);
    return true;
  }

  bool write(std::uint64_t, std::size_t, const float* const*) override {
    problem_ = "the input file is not written to";
    return false;
  }

 private:
  DiskFile file_;
  DiskFileSource source_;
  WavInfo info_;
  bool repair_;
  std::vector<std::uint8_t> buffer_;
  std::string problem_;
};

}  // namespace

std::string titleOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

std::unique_ptr<AudioStore> openWavStore(const std::string& path, bool repairNonFinite, WavReadResult& result) {
  result = WavReadResult{};
  std::error_code error;
  if (std::filesystem::is_directory(pathFromUtf8(path), error)) {
    result.status = WavStatus::CannotOpen;
    result.message = "it is a folder, not a file";
    return nullptr;
  }
  DiskFile file(path, DiskFile::Mode::Read);
  if (!file.isOpen()) {
    result.status = WavStatus::CannotOpen;
    result.message = "cannot open the file";
    return nullptr;
  }
  DiskFileSource source(file);
  const WavHeaderResult header = readWavHeader(source);
  result.status = header.status;
  result.message = header.message;
  if (!header.ok()) return nullptr;
  result.format = header.info.format;
  result.extensible = header.info.extensible;
  result.truncated = header.info.truncated;
  result.audio.sampleRate = header.info.sampleRate;
  return std::make_unique<WavFileStore>(std::move(file), header.info, repairNonFinite);
}

WavReadResult openAudioFile(OfflineHost& host, const std::string& path, std::size_t& index, bool repairNonFinite) {
  WavReadResult result;
  std::unique_ptr<AudioStore> store = openWavStore(path, repairNonFinite, result);
  if (store) index = host.addFile(std::move(store), titleOf(path));
  return result;
}

WavWriteResult saveAudioFile(const HostFile& file, const std::string& path, SampleFormat format) {
  return saveAudioFile(file, path, WavOutputForm{format});
}

WavWriteResult saveAudioFile(const HostFile& file, const std::string& path, const WavOutputForm& form) {
  AudioStore& audio = *file.audio;
  WavFileOutput output;
  std::string problem;
  if (!output.open(path, audio.channelCount(), audio.sampleRate(), form, true, problem))
    return {WavStatus::WriteFailed, problem};
  const auto channels = static_cast<std::size_t>(audio.channelCount());
  std::vector<std::vector<float>> block(channels, std::vector<float>(kBlockFrames));
  std::vector<float*> pointers(channels);
  for (std::size_t c = 0; c < channels; ++c) pointers[c] = block[c].data();
  for (std::uint64_t done = 0; done < audio.frames();) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockFrames, audio.frames() - done));
    if (!audio.read(done, n, pointers.data()))
      return {WavStatus::WriteFailed, audio.problem().empty() ? "the new audio cannot be read" : audio.problem()};
    if (!output.append(pointers.data(), n, problem)) return {WavStatus::WriteFailed, problem};
    done += n;
  }
  if (!output.commit(problem)) return {WavStatus::WriteFailed, problem};
  return {};
}

NonFiniteSamples findNonFinite(AudioStore& store) {
  NonFiniteSamples found;
  const auto channels = static_cast<std::size_t>(store.channelCount());
  std::vector<std::vector<float>> block(channels, std::vector<float>(kBlockFrames));
  std::vector<float*> pointers(channels);
  for (std::size_t c = 0; c < channels; ++c) pointers[c] = block[c].data();
  for (std::uint64_t done = 0; done < store.frames();) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockFrames, store.frames() - done));
    if (!store.read(done, n, pointers.data())) {
      found.readFailed = true;
      return found;
    }
    for (std::size_t f = 0; f < n; ++f)
      for (std::size_t c = 0; c < channels; ++c)
        if (!std::isfinite(block[c][f]) && found.count++ == 0) {
          found.firstFrame = done + f;
          found.firstChannel = static_cast<int>(c);
        }
    done += n;
  }
  return found;
}

}  // namespace host
