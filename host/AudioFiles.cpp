#include "host/AudioFiles.h"

#include "host/OfflineHost.h"

namespace host {

std::string titleOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

WavReadResult openAudioFile(OfflineHost& host, const std::string& path, std::size_t& index) {
  WavReadResult read = readWav(path);
  if (!read.ok()) return read;
  // The file list keeps the audio; the result keeps the format.
  index = host.addFile(std::move(read.audio), titleOf(path));
  read.audio = AudioData{};
  return read;
}

WavWriteResult saveAudioFile(const HostFile& file, const std::string& path, SampleFormat format) {
  return writeWav(path, file.audio, format);
}

}  // namespace host
