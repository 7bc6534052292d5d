// Writes that fail part way, as on a full disk: a child process whose files
// may not grow past a few kilobytes (RLIMIT_FSIZE, with SIGXFSZ ignored so
// that the writes fail instead of ending it) does the writing, and tells the
// parent what each call answered. The parent checks the folder afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "host/audio/DiskFile.h"
#include "host/audio/WavFileOutput.h"
#include "tests/host/TempPath.h"

#if !defined(_WIN32)
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

#if !defined(_WIN32)

constexpr rlim_t kLimit = 4096;

// Runs body in a child whose files stop growing at kLimit bytes and gives
// back the text it returned, or a line saying how the child ended badly.
std::string runOnFullDisk(const std::function<std::string()>& body) {
  int channel[2];
  if (pipe(channel) != 0) return "no pipe";
  const pid_t child = fork();
  if (child < 0) return "no child";
  if (child == 0) {
    close(channel[0]);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = kLimit;
    std::string said = setrlimit(RLIMIT_FSIZE, &limit) == 0 ? body() : "no file size limit";
    for (std::size_t at = 0; at < said.size();) {
      const ssize_t n = write(channel[1], said.data() + at, said.size() - at);
      if (n <= 0) _exit(2);
      at += static_cast<std::size_t>(n);
    }
    _exit(0);
  }
  close(channel[1]);
  std::string said;
  char buffer[256];
  for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;) said.append(buffer, static_cast<std::size_t>(n));
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) said += " [child ended badly]";
  return said;
}

const char* answer(bool ok) { return ok ? "ok" : "refused"; }

class DiskFull : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = tempPath(std::string("diskfull-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  std::string file(const std::string& name) const { return folder + "/" + name; }
  std::vector<std::string> namesInFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    return names;
  }
  static std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void writeOldTarget() {
    std::ofstream(target(), std::ios::binary) << oldContent;
    ASSERT_EQ(contentOf(target()), oldContent);
  }
  std::string target() const { return file("out.wav"); }
  // Writes frames of stereo 16-bit audio to target() in blocks; what the
  // output answered.
  std::string writeWav(std::size_t frames, std::size_t block) const {
    std::vector<float> left(block, 0.25f), right(block, -0.5f);
    const float* channels[] = {left.data(), right.data()};
    host::WavFileOutput out;
    std::string problem;
    if (!out.open(target(), 2, 44100.0, host::SampleFormat::Pcm16, false, problem)) return "open: " + problem;
    for (std::size_t done = 0; done < frames; done += block)
      if (!out.append(channels, std::min(block, frames - done), problem)) return "append: " + problem;
    if (!out.commit(problem)) return "commit: " + problem;
    return "committed";
  }

  std::string folder;
  const std::string oldContent = "the old file, which must stay as it is";
};

// Blocks larger than the stream's buffer: the write that crosses the limit
// says so itself, and a header written back at the start afterwards (as
// the WAV writer does last) does not make the close pass for a success.
TEST_F(DiskFull, TheWriteThatCrossesTheLimitAndTheCloseAfterItAreRefused) {
  const std::string path = file("big.bin");
  const std::string said = runOnFullDisk([&] {
    host::DiskFile out(path, host::DiskFile::Mode::Create);
    if (!out.isOpen()) return std::string("not opened");
    const std::vector<char> block(100000, 'x');
    const bool crossing = out.writeAt(0, block.data(), block.size());
    const bool header = out.writeAt(0, "RIFF", 4);
    const bool closed = out.close();
    return std::string("crossing ") + answer(crossing) + ", header " + answer(header) + ", close " + answer(closed);
  });
  EXPECT_EQ(said, "crossing refused, header ok, close refused");
  EXPECT_LE(std::filesystem::file_size(path), kLimit);
}

// Whether the C library meets the full disk inside a write or only when it
// flushes its buffer later, the close must say that not everything reached
// the disk: also when a read came between and the library had to flush.
TEST_F(DiskFull, WritesPastTheLimitFailTheCloseWhereverTheLibraryMeetsIt) {
  const std::string path = file("small.bin");
  const std::vector<char> block(kLimit, 'y');
  const std::string said = runOnFullDisk([&] {
    std::string outcome;
    {
      // Small writes: the one that crosses the limit may well seem to pass.
      host::DiskFile out(path, host::DiskFile::Mode::Create);
      for (std::size_t at = 0; at < 9000; at += 3000) out.writeAt(at, block.data(), 3000);
      outcome += std::string("small writes: close ") + answer(out.close());
    }
    {
      // The disk filled exactly, then a few bytes more, which a buffer takes.
      host::DiskFile out(path, host::DiskFile::Mode::Create);
      out.writeAt(0, block.data(), block.size());
      out.writeAt(kLimit, "tail", 4);
      outcome += std::string("; a buffered tail: close ") + answer(out.close());
    }
    {
      // The same, then a read where the writes ended.
      host::DiskFile out(path, host::DiskFile::Mode::Create);
      out.writeAt(0, block.data(), block.size());
      out.writeAt(kLimit, "tail", 4);
      char back[16];
      const bool read = out.readAt(kLimit + 4, back, sizeof back);
      outcome += std::string("; read after the tail ") + answer(read) + ", close " + answer(out.close());
    }
    {
      // The same, then a read at the start.
      host::DiskFile out(path, host::DiskFile::Mode::Create);
      out.writeAt(0, block.data(), block.size());
      out.writeAt(kLimit, "tail", 4);
      char back[16];
      const bool read = out.readAt(0, back, sizeof back);
      outcome += std::string("; read at the start ") + answer(read) + ", close " + answer(out.close());
    }
    return outcome;
  });
  EXPECT_EQ(said,
            "small writes: close refused; a buffered tail: close refused; read after the tail refused, close refused; "
            "read at the start refused, close refused");
}

// A WAV file that cannot be written whole: the failure is named, the old
// target keeps what it held and no working file is left beside it, whether
// the disk fills while the audio goes out or only when the buffered last
// part is flushed at the end.
TEST_F(DiskFull, AWavFileCutShortLeavesTheOldTargetAndNoPart) {
  struct Case {
    const char* what;
    std::size_t frames;  // stereo 16-bit: 4 bytes a frame after 44 of header
    std::size_t block;
  };
  const Case cases[] = {
      {"far past the limit in large blocks", 200000, 50000},
      {"past the limit in small blocks", 1500, 100},
      {"one frame past the limit", (kLimit - 44) / 4 + 1, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeOldTarget();
    const std::string said = runOnFullDisk([&] { return writeWav(c.frames, c.block); });
    EXPECT_TRUE(said.rfind("append: ", 0) == 0 || said.rfind("commit: ", 0) == 0) << said;
    EXPECT_GT(said.size(), 8u) << "a failure with a reason";
    EXPECT_EQ(said.find("[child"), std::string::npos) << said;
    EXPECT_EQ(contentOf(target()), oldContent);
    EXPECT_EQ(namesInFolder(), std::vector<std::string>{"out.wav"});
  }
}

// The same output filling the limit to the last byte is committed: the
// limit is what fails the cases above.
TEST_F(DiskFull, AWavFileThatJustFitsIsCommitted) {
  writeOldTarget();
  const std::size_t frames = (kLimit - 44) / 4;
  const std::string said = runOnFullDisk([&] { return writeWav(frames, 7); });
  EXPECT_EQ(said, "committed");
  EXPECT_EQ(std::filesystem::file_size(target()), kLimit);
  EXPECT_EQ(namesInFolder(), std::vector<std::string>{"out.wav"});
}

#else

TEST(DiskFull, NeedsAFileSizeLimit) { GTEST_SKIP() << "the file size limit is POSIX only"; }

#endif

}  // namespace
