// libFuzzer target for the curve file reader: whatever the bytes, a read
// either fails and leaves the curve alone, or gives a curve that keeps every
// invariant, matches the in-memory reader and survives a write and re-read.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/CurveText.h"
#include "curve/PvcCurve.h"
#include "platform/Platform.h"

namespace {

void check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "curve fuzz: %s\n", what);
  std::abort();
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Files {
  std::string dir = platform::temporaryDirectory() + "pelmora-fuzz-" + std::to_string(::getpid()) + "/";
  std::string input = dir + "input.pvc";
  std::string copy = dir + "copy.pvc";
  std::string again = dir + "again.pvc";
};

const Files& files() {
  static const Files f;
  return f;
}

std::uint32_t word(const std::uint8_t* data, std::size_t size, std::size_t at) {
  std::uint32_t w = 0;
  for (std::size_t i = 0; i < 4; ++i) w = (w << 8) | (at + i < size ? data[at + i] : 0);
  return w;
}

void checkInvariants(const PvcCurve& curve) {
  const auto points = curve.points();
  check(!points.empty(), "a successful read gave no point");
  for (std::size_t i = 0; i < points.size(); ++i) {
    check(points[i].position >= 0, "negative position");
    check(std::isfinite(points[i].ratio) && points[i].ratio >= 0.0f, "bad ratio");
    if (i > 0) check(points[i - 1].position < points[i].position, "positions not ascending");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Files& f = files();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream out(f.input, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  PvcCurve curve{f.dir};
  const std::int32_t length = static_cast<std::int32_t>(word(data, size, 0) & 0x7FFFFFFF) % 5000000;
  curve.resetFlat(1000);
  curve.setLength(length);
  curve.insertPoint(400, 1.25f, false);
  const std::vector<PvcPoint> before(curve.points().begin(), curve.points().end());

  if (!curve.readFile(f.input, false)) {
    check(curve.pointCount() == static_cast<std::int32_t>(before.size()), "failed read changed the curve");
    for (std::size_t i = 0; i < before.size(); ++i)
      check(curve.positionOf(static_cast<unsigned>(i)) == before[i].position, "failed read changed a point");
    return 0;
  }
  checkInvariants(curve);

  // The file reader and the in-memory reader, fed in odd pieces, agree.
  CurveTextReader reader;
  const std::size_t piece = 1 + (size > 4 ? data[4] % 61 : 0);
  for (std::size_t at = 0; at < size; at += piece) reader.feed(bytes.substr(at, piece));
  const std::vector<PvcPoint> memory = reader.finish();
  check(!memory.empty() && memory.size() <= static_cast<std::size_t>(curve.pointCount()) &&
            static_cast<std::size_t>(curve.pointCount()) <= memory.size() + 1,
        "file and memory readers disagree on the count");
  for (std::size_t i = 0; i < memory.size(); ++i) {
    check(memory[i].position == curve.positionOf(static_cast<unsigned>(i)), "readers disagree on a position");
    check(memory[i].ratio == curve.ratioOf(static_cast<unsigned>(i)), "readers disagree on a ratio");
  }

  // Interpolation: the walk for ascending samples equals the searched answer.
  curve.rewind();
  const std::uint32_t step = 1 + word(data, size, 5) % 100000;
  for (std::int64_t s = 0; s < length && s < 200 * static_cast<std::int64_t>(step); s += step) {
    const float a = curve.ratioAt(static_cast<std::int32_t>(s));
    check(a == -1.0f || (std::isfinite(a) && a >= 0.0f), "ratioAt out of range");
    check(curve.ratioAtNext(static_cast<std::int32_t>(s)) == a, "ratioAtNext differs from ratioAt");
  }

  // Layout over a view the input chooses.
  SpectrogramAnalyser analyser;
  analyser.setRows(256);
  analyser.setZoom(1.0f);
  const auto start = static_cast<std::int32_t>(word(data, size, 9) % 3000000);
  const auto end = start + static_cast<std::int32_t>(word(data, size, 13) % 3000000);
  curve.setView(670, 260, start, end);
  curve.layout(analyser);
  for (std::int32_t i = std::max(curve.firstVisible(), 0); i <= curve.lastVisible(); ++i) {
    check(curve.columnOf(static_cast<unsigned>(i)) >= 1 && curve.columnOf(static_cast<unsigned>(i)) <= 669, "column");
    check(curve.rowOf(static_cast<unsigned>(i)) >= 1 && curve.rowOf(static_cast<unsigned>(i)) <= 258, "row");
  }

  // Write, read back, write again: the same bytes.
  check(curve.writeFile(f.copy, false), "write failed");
  PvcCurve copy{f.dir};
  check(copy.readFile(f.copy, true), "re-read failed");
  check(copy.pointCount() == curve.pointCount(), "re-read changed the count");
  for (std::int32_t i = 0; i < curve.pointCount(); ++i)
    check(copy.positionOf(static_cast<unsigned>(i)) == curve.positionOf(static_cast<unsigned>(i)), "re-read position");
  check(copy.writeFile(f.again, true), "second write failed");
  check(slurp(f.copy) == slurp(f.again), "second write differs");

  // Edits keep the order.
  curve.insertPoint(static_cast<std::int32_t>(word(data, size, 17) % 5000000), 1.1f, true);
  curve.deleteRange(static_cast<std::int32_t>(word(data, size, 21) % 5000000), static_cast<std::int32_t>(word(data, size, 25) % 5000000));
  const auto points = curve.points();
  for (std::size_t i = 1; i < points.size(); ++i) check(points[i - 1].position < points[i].position, "edit broke the order");
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  platform::createDirectory(files().dir);
  return 0;
}
