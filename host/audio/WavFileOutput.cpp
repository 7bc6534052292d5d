#include "host/audio/WavFileOutput.h"

#include <atomic>
#include <charconv>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

#include "platform/Platform.h"

namespace host {

namespace {

// The process id in a working file's name "<stem>PROCESS-N.tmp", or nothing
// when the name is not one of ours.
std::optional<unsigned long> ownerOf(const std::string& name, const std::string& stem) {
  constexpr std::string_view kEnd = ".tmp";
  if (name.size() <= stem.size() + kEnd.size() || name.compare(0, stem.size(), stem) != 0 ||
      name.compare(name.size() - kEnd.size(), kEnd.size(), kEnd) != 0)
    return std::nullopt;
  const std::string_view rest(name.data() + stem.size(), name.size() - stem.size() - kEnd.size());
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos) return std::nullopt;
  unsigned long owner = 0;
  const auto parsed = std::from_chars(rest.data(), rest.data() + dash, owner);
  if (parsed.ec != std::errc() || parsed.ptr != rest.data() + dash) return std::nullopt;
  for (const char c : rest.substr(dash + 1))
    if (c < '0' || c > '9') return std::nullopt;
  return owner;
}

void removeStaleBeside(const std::filesystem::path& folder, const std::string& stem) {
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = utf8FromPath(it->path().filename());
    const std::optional<unsigned long> owner = ownerOf(name, stem);
    if (owner && !platform::processRunning(*owner)) {
      std::error_code ignored;
      std::filesystem::remove(it->path(), ignored);
    }
  }
}

}  // namespace

std::string temporaryNameBeside(const std::string& path, const char* purpose) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path whole = pathFromUtf8(path);
  const std::string stem = utf8FromPath(whole.filename()) + "." + purpose + "-";
  const std::filesystem::path parent = whole.parent_path();
  removeStaleBeside(parent.empty() ? std::filesystem::path(".") : parent, stem);
  const std::string own = path + "." + purpose + "-" + std::to_string(platform::processId()) + "-";
  for (int attempt = 0;; ++attempt) {
    const std::string name = own + std::to_string(counter++) + ".tmp";
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
  return open(target, channels, sampleRate, WavOutputForm{format}, roomToGrow, problem);
}

bool WavFileOutput::open(const std::string& target, int channels, double sampleRate, const WavOutputForm& form,
                         bool roomToGrow, std::string& problem) {
  drop();
  if (std::string why = whyNotWritable(channels, sampleRate, form.format); !why.empty()) {
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
  writer_ = std::make_unique<WavStreamWriter>(*sink_, channels, sampleRate, form, roomToGrow);
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
