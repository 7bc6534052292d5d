// A WAV file written under a temporary name beside its target and renamed
// to the target only by commit. Until then the target keeps whatever it held,
// and an output that is dropped or fails leaves nothing behind.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "host/audio/DiskFile.h"
#include "host/audio/WavFile.h"
#include "host/audio/WavStream.h"

namespace host {

class WavFileOutput {
 public:
  WavFileOutput() = default;
  ~WavFileOutput();
  WavFileOutput(const WavFileOutput&) = delete;
  WavFileOutput& operator=(const WavFileOutput&) = delete;

  bool open(const std::string& target, int channels, double sampleRate, SampleFormat format, bool roomToGrow,
            std::string& problem);
  bool open(const std::string& target, int channels, double sampleRate, const WavOutputForm& form, bool roomToGrow,
            std::string& problem);
  bool append(const float* const* channels, std::size_t count, std::string& problem);
  bool commit(std::string& problem);
  // The name the file is written under until commit.
  const std::string& temporaryPath() const { return temporary_; }

 private:
  void drop();

  std::string target_;
  std::string temporary_;
  DiskFile file_;
  std::unique_ptr<DiskFileSink> sink_;
  std::unique_ptr<WavStreamWriter> writer_;
};

// A name beside path that no file has yet, for work in progress:
// path.purpose-PROCESS-N.tmp, never a name that passes for a result. Working
// files of the same purpose beside path that a process no longer running
// left behind (killed mid-work) are removed first.
std::string temporaryNameBeside(const std::string& path, const char* purpose);

}  // namespace host
