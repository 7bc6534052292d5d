#include "host/WavFileOutput.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace host {

std::string temporaryNameBeside(const std::string& path, const char* purpose) {
  static std::atomic<unsigned> counter{0};
  const auto stamp = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0;; ++attempt) {
    const std::string name = path + "." + purpose + "-" + std::to_string(stamp % 1000000007ull) + "-" +
                             std::to_string(counter++) + ".tmp";
    std::error_code error;
    if (!std::filesystem::exists(pathFromUtf8(name), error) || attempt > 100) return name;
  }
}

WavFileOutput::~WavFileOutput() { drop(); }

void WavFileOutput::drop() {
  writer_.reset();
  sink_.reset();
  if (file_.isOpen()) file_.close();
  if (!temporary_.empty()) removeFile(temporary_);
  temporary_.clear();
}

bool WavFileOutput::open(const std::string& target, int channels, double sampleRate, SampleFormat format,
                         bool roomToGrow, std::string& problem) {
  drop();
  if (std::string why = whyNotWritable(channels, sampleRate, format); !why.empty()) {
    problem = why;
    return false;
  }
  target_ = target;
  temporary_ = temporaryNameBeside(target, "partial");
  file_ = DiskFile(temporary_, DiskFile::Mode::Create);
  if (!file_.isOpen()) {
    temporary_.clear();
    problem = "cannot create a file beside " + target;
    return false;
  }
  sink_ = std::make_unique<DiskFileSink>(file_);
  writer_ = std::make_unique<WavStreamWriter>(*sink_, channels, sampleRate, format, roomToGrow);
  if (!writer_->begin()) {
    problem = writer_->problem();
    drop();
    return false;
  }
  return true;
}

bool WavFileOutput::append(const float* const* channels, std::size_t count, std::string& problem) {
  if (!writer_) {
    problem = "the output is not open";
    return false;
  }
  if (!writer_->append(channels, count)) {
    problem = writer_->problem();
    drop();
    return false;
  }
  return true;
}

bool WavFileOutput::commit(std::string& problem) {
  if (!writer_) {
    problem = "the output is not open";
    return false;
  }
  if (!writer_->finish()) {
    problem = writer_->problem();
    drop();
    return false;
  }
  writer_.reset();
  sink_.reset();
  if (!file_.close()) {
    problem = "the file cannot be written to the end (is the disk full?)";
    drop();
    return false;
  }
  if (!replaceFile(temporary_, target_)) {
    problem = "cannot put the new file in place of " + target_;
    drop();
    return false;
  }
  temporary_.clear();
  return true;
}

}  // namespace host
