#include "host/audio/DiskFile.h"

#include <system_error>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace host {

std::filesystem::path pathFromUtf8(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

namespace {

std::FILE* openFile(const std::string& path, DiskFile::Mode mode) {
  const std::filesystem::path native = pathFromUtf8(path);
#if defined(_WIN32)
  return ::_wfopen(native.c_str(), mode == DiskFile::Mode::Read ? L"rb" : L"w+b");
#else
  return std::fopen(native.c_str(), mode == DiskFile::Mode::Read ? "rb" : "w+b");
#endif
}

int seek64(std::FILE* file, std::uint64_t offset) {
#if defined(_WIN32)
  return ::_fseeki64(file, static_cast<long long>(offset), SEEK_SET);
#else
  return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
}

}  // namespace

DiskFile::DiskFile(const std::string& path, Mode mode) : file_(openFile(path, mode)) {
  // Whole blocks go straight through; the buffer only serves the header.
  if (file_) std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
}

DiskFile::~DiskFile() {
  if (file_) std::fclose(file_);
}

DiskFile::DiskFile(DiskFile&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)),
      position_(other.position_),
      positionKnown_(other.positionKnown_),
      last_(other.last_),
      failed_(other.failed_) {}

DiskFile& DiskFile::operator=(DiskFile&& other) noexcept {
  if (this != &other) {
    if (file_) std::fclose(file_);
    file_ = std::exchange(other.file_, nullptr);
    position_ = other.position_;
    positionKnown_ = other.positionKnown_;
    last_ = other.last_;
    failed_ = other.failed_;
  }
  return *this;
}

// What is buffered goes out before the file is read or measured. A failure
// there is a failed write, kept for close: the library may forget it (a
// later flush can answer success with the bytes dropped, and the read's
// clearerr would wipe the error mark).
bool DiskFile::flushWrites() {
  if (last_ != Last::Write) return true;
  last_ = Last::None;
  if (std::fflush(file_) == 0 && !std::ferror(file_)) return true;
  failed_ = true;
  positionKnown_ = false;
  return false;
}

bool DiskFile::seekTo(std::uint64_t offset, Last next) {
  if (!file_) return false;
  if (next != Last::Write && !flushWrites()) return false;
  // The stream may turn from reading to writing only through a seek.
  const bool turning = last_ == Last::Read && next == Last::Write;
  const bool writing = last_ == Last::Write;
  last_ = next;
  if (!turning && positionKnown_ && position_ == offset) return true;
  positionKnown_ = false;
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
  if (seek64(file_, offset) != 0) {
    // The seek sends out what was buffered: that may be what failed.
    if (writing) failed_ = true;
    return false;
  }
  position_ = offset;
  positionKnown_ = true;
  return true;
}

bool DiskFile::readAt(std::uint64_t offset, void* to, std::size_t n) {
  if (!seekTo(offset, Last::Read)) return false;
  const std::size_t got = std::fread(to, 1, n, file_);
  position_ += got;
  if (got != n) {
    positionKnown_ = false;
    std::clearerr(file_);
    return false;
  }
  return true;
}

bool DiskFile::writeAt(std::uint64_t offset, const void* from, std::size_t n) {
  if (!seekTo(offset, Last::Write)) return false;
  const std::size_t put = std::fwrite(from, 1, n, file_);
  position_ += put;
  if (put != n) {
    positionKnown_ = false;
    failed_ = true;
    return false;
  }
  return true;
}

std::uint64_t DiskFile::size() {
  if (!file_ || !flushWrites()) return 0;
  positionKnown_ = false;
  last_ = Last::None;
#if defined(_WIN32)
  if (::_fseeki64(file_, 0, SEEK_END) != 0) return 0;
  const long long end = ::_ftelli64(file_);
#else
  if (::fseeko(file_, 0, SEEK_END) != 0) return 0;
  const long long end = ::ftello(file_);
#endif
  return end < 0 ? 0 : static_cast<std::uint64_t>(end);
}

bool DiskFile::close() {
  if (!file_) return false;
  bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  return ok && !failed_;
}

bool replaceFile(const std::string& from, const std::string& to) {
#if defined(_WIN32)
  return ::MoveFileExW(pathFromUtf8(from).c_str(), pathFromUtf8(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  std::error_code error;
  std::filesystem::rename(pathFromUtf8(from), pathFromUtf8(to), error);
  return !error;
#endif
}

void removeFile(const std::string& path) {
  std::error_code error;
  std::filesystem::remove(pathFromUtf8(path), error);
}

}  // namespace host
