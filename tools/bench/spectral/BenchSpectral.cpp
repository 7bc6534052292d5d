// Time and peak memory of the spectral-domain detection as its pass runs it,
// natively, on long recordings: the stereo file read a block at a time and
// mixed to the mean of its channels, the detector fed in its largest blocks
// (a partial last block too), the tracks grouped, the curve built and its
// points put into a curve over the whole file. The host's reading and the
// editor's drawing are left out. pelmora-host-native has no spectral run
// (only the editor gives that detector a band), so tools/bench/passes/bench-passes leaves
// it out; this measures it. A benchmark, never a test.
//
//   bench-spectral --seconds S [--wav FILE | --notes] [--rate HZ]
//                  [--band LOW:HIGH] [--dump FILE]
// --wav reads a float or 16-bit PCM WAV (mono or stereo), from its start
// again whenever it ends, for S seconds; --notes makes three voices of
// harmonic notes that change every 0.4 to 1.5 s under 0.4 % wow, with a
// little noise, as it goes (the rate from --rate, default 96000).
// --dump writes every point (position, value bits) and every family's
// smoothed frequency bits, for comparing two builds bit for bit.
//
// Build (a Release build without sanitizers):
//   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMORA_SANITIZE=OFF
//         "-DPELMORA_FOLDERS=vst;platform;analysis;curve;engines;detect;plugin;host;tools"
//   cmake --build build/bench --target bench-spectral wowgen
// Run on the recording tools/bench/passes/bench-passes uses, at several lengths:
//   build/bench/bin/wowgen rec.wav --rate 96000 --channels 2 --seconds 600 --tone 1000:0.25
//       --tone 440:0.15 --tone 660:0.1 --tone 1760:0.05 --hum 50:0.015:3 --pilot 19000:0.05
//       --noise 0.001 --wow 0.55:0.3 --wow 1.7:0.1 --format float
//   for s in 60 120 240 480 600 3600; do
//     /usr/bin/time -f "%e s %U s user %M kB" build/bench/bin/bench-spectral --wav rec.wav --seconds $s
//   done
// On a shared machine compare the processor times it prints, or instruction
// counts under valgrind --tool=callgrind.
#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "curve/PvcCurve.h"
#include "detect/SpectralPvcDetector.h"

namespace {

constexpr int kBlock = detect::SpectralPvcDetector::kMaxLength;
constexpr std::size_t kReadFrames = 65536;

struct Options {
  std::string wav;
  bool notes = false;
  double seconds = 0.0;
  int rate = 96000;
  float bandLow = 200.0f;
  float bandHigh = 4000.0f;
  std::string dump;
};

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Processor time of this thread, so that a loaded machine does not count.
double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

long statusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::size_t n = std::strlen(key);
  while (std::getline(in, line)) {
    if (line.compare(0, n, key) == 0) return std::atol(line.c_str() + n);
  }
  return -1;
}

// A WAV file's audio, handed on as mono samples a block at a time.
struct WavSource {
  std::ifstream in;
  int channels = 0;
  int bits = 0;
  bool isFloat = false;
  int rate = 0;
  std::uint64_t dataOffset = 0;
  std::uint64_t frames = 0;

  bool open(const std::string& path) {
    in.open(path, std::ios::binary);
    char head[12];
    if (!in.read(head, 12) || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return false;
    std::uint64_t at = 12;
    bool haveFormat = false;
    for (;;) {
      char chunk[8];
      in.seekg(static_cast<std::streamoff>(at));
      if (!in.read(chunk, 8)) return false;
      std::uint32_t size = 0;
      std::memcpy(&size, chunk + 4, 4);
      if (std::memcmp(chunk, "fmt ", 4) == 0) {
        unsigned char f[16];
        if (!in.read(reinterpret_cast<char*>(f), 16)) return false;
        const int tag = f[0] | (f[1] << 8);
        channels = f[2] | (f[3] << 8);
        rate = static_cast<int>(f[4] | (f[5] << 8) | (f[6] << 16) | (std::uint32_t{f[7]} << 24));
        bits = f[14] | (f[15] << 8);
        isFloat = tag == 3 || (tag == 0xFFFE && bits == 32);
        haveFormat = true;
      } else if (std::memcmp(chunk, "data", 4) == 0) {
        if (!haveFormat || channels < 1 || channels > 2 || !(bits == 16 || (bits == 32 && isFloat))) return false;
        dataOffset = at + 8;
        frames = size / static_cast<std::uint64_t>(channels * bits / 8);
        return true;
      }
      at += 8 + size + (size & 1);
    }
  }

  // Mono samples as the pass makes them: a stereo frame is (left + right) * 0.5.
  bool each(std::uint64_t wanted, const std::function<void(float)>& perSample) {
    const std::size_t width = static_cast<std::size_t>(channels * bits / 8);
    std::vector<char> raw(kReadFrames * width);
    std::vector<float> left(kReadFrames), right(kReadFrames);
    while (wanted > 0) {
      in.clear();
      in.seekg(static_cast<std::streamoff>(dataOffset));
      std::uint64_t remaining = std::min(frames, wanted);
      wanted -= remaining;
      while (remaining > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kReadFrames));
        if (!in.read(raw.data(), static_cast<std::streamsize>(n * width))) return false;
        for (std::size_t i = 0; i < n; ++i) {
          for (int c = 0; c < channels; ++c) {
            const char* p = raw.data() + i * width + static_cast<std::size_t>(c * bits / 8);
            float v = 0.0f;
            if (isFloat) {
              std::memcpy(&v, p, 4);
            } else {
              std::int16_t s = 0;
              std::memcpy(&s, p, 2);
              v = static_cast<float>(s) / 32768.0f;
            }
            (c == 0 ? left : right)[i] = v;
          }
        }
        for (std::size_t i = 0; i < n; ++i) perSample(channels == 1 ? left[i] : (left[i] + right[i]) * 0.5f);
        remaining -= n;
      }
    }
    return true;
  }
};

// Three voices of harmonic notes under 0.4 % wow at 0.55 Hz, made as they
// are played, so that no length needs the whole recording in memory.
class NoteProgramme {
 public:
  explicit NoteProgramme(double fs) : fs_(fs) {
    for (int v = 0; v < 3; ++v) voices_[v].base = 220.0 * (1 + v) / 1.5;
  }

  float next() {
    const double t = static_cast<double>(i_) / fs_;
    const double w = 2.0 * std::numbers::pi * 0.55;
    const double tau = t - 0.004 / w * (std::cos(w * t) - 1.0);
    double mix = 0.0;
    for (Voice& voice : voices_) {
      if (i_ >= voice.end) startNote(voice, tau);
      const double local = static_cast<double>(i_ - voice.start) / fs_;
      const double envelope = std::min(1.0, local / 0.02) * std::exp(-local / 1.5);
      for (int h = 0; h < voice.harmonics; ++h) {
        mix += voice.amplitude[h] * envelope *
               std::sin(2.0 * std::numbers::pi * voice.f0 * (h + 1) * (tau - voice.tau0) + voice.phase[h]);
      }
    }
    state_ = state_ * 1664525u + 1013904223u;
    mix += 0.002 * ((state_ >> 8) / double(1u << 24) - 0.5);
    ++i_;
    return static_cast<float>(mix);
  }

 private:
  struct Voice {
    double base = 220.0;
    std::int64_t start = 0;
    std::int64_t end = 0;
    double f0 = 0.0;
    double tau0 = 0.0;
    int harmonics = 0;
    double amplitude[10] = {};
    double phase[10] = {};
  };

  double uniform() {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) / double(1u << 24);
  }

  void startNote(Voice& voice, double tau) {
    static const double kScale[] = {1.0, 9.0 / 8, 5.0 / 4, 3.0 / 2, 5.0 / 3, 2.0};
    voice.start = i_;
    voice.end = i_ + static_cast<std::int64_t>((0.4 + 1.1 * uniform()) * fs_);
    voice.f0 = voice.base * kScale[static_cast<int>(uniform() * 6) % 6];
    voice.tau0 = tau;
    voice.harmonics = 0;
    for (int h = 1; h <= 10 && voice.f0 * h <= 9000.0; ++h) {
      voice.amplitude[h - 1] = 0.1 / h;
      voice.phase[h - 1] = 2.0 * std::numbers::pi * uniform();
      voice.harmonics = h;
    }
  }

  double fs_;
  std::int64_t i_ = 0;
  unsigned state_ = 11u;
  Voice voices_[3];
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--wav" && more) {
      o.wav = argv[++i];
    } else if (a == "--seconds" && more) {
      o.seconds = std::atof(argv[++i]);
    } else if (a == "--notes") {
      o.notes = true;
    } else if (a == "--rate" && more) {
      o.rate = std::atoi(argv[++i]);
    } else if (a == "--band" && more) {
      if (std::sscanf(argv[++i], "%f:%f", &o.bandLow, &o.bandHigh) != 2) return false;
    } else if (a == "--dump" && more) {
      o.dump = argv[++i];
    } else {
      return false;
    }
  }
  return o.wav.empty() == o.notes && o.seconds > 0.0 && o.rate > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: bench-spectral --seconds S [--wav FILE | --notes] [--rate HZ] [--band LOW:HIGH]"
                 " [--dump FILE]\n");
    return 2;
  }
  WavSource wav;
  std::int64_t total = 0;
  int rate = o.rate;
  if (!o.wav.empty()) {
    if (!wav.open(o.wav)) {
      std::fprintf(stderr, "bench-spectral: cannot read %s (float or 16-bit PCM, 1 or 2 channels)\n", o.wav.c_str());
      return 1;
    }
    rate = wav.rate;
    if (wav.frames == 0) {
      std::fprintf(stderr, "bench-spectral: %s holds no audio\n", o.wav.c_str());
      return 1;
    }
  }
  total = static_cast<std::int64_t>(o.seconds * rate);
  if (total > 2147483647) {
    std::fprintf(stderr, "bench-spectral: %lld frames do not fit a curve\n", static_cast<long long>(total));
    return 1;
  }
  const auto frames = static_cast<std::int32_t>(total);

  detect::SpectralPvcDetector detector;
  PvcCurve curve{std::string()};
  curve.setLength(frames);
  curve.resetFlat(frames);

  const auto t0 = std::chrono::steady_clock::now();
  const double c0 = cpuSeconds();
  double detectorCpu = 0.0;
  detector.beginRun(rate, o.bandLow, o.bandHigh, frames);
  std::vector<float> block(kBlock);
  int filled = 0;
  auto run = [&] {
    const float* const inputs[1] = {block.data()};
    const double before = cpuSeconds();
    detector.process(filled, 1, inputs, nullptr);
    detectorCpu += cpuSeconds() - before;
    filled = 0;
  };
  auto perSample = [&](float sample) {
    block[static_cast<std::size_t>(filled++)] = sample;
    if (filled == kBlock) run();
  };
  if (!o.wav.empty()) {
    if (!wav.each(static_cast<std::uint64_t>(frames), perSample)) {
      std::fprintf(stderr, "bench-spectral: %s ends early\n", o.wav.c_str());
      return 1;
    }
  } else {
    NoteProgramme programme(rate);
    for (std::int32_t i = 0; i < frames; ++i) perSample(programme.next());
  }
  if (filled > 0) run();
  const auto t1 = std::chrono::steady_clock::now();
  const long afterFrames = statusKb("VmHWM:");
  detector.collectTracks();
  const auto t2 = std::chrono::steady_clock::now();
  detector.buildCurve();
  const auto t3 = std::chrono::steady_clock::now();
  curve.deleteRange(0, frames);
  curve.insertPoint(0, 1.0f, false);
  for (int i = 0; i < detector.pointCount(); ++i) {
    const std::int64_t position = detector.position(i);
    if (position > frames) break;
    curve.insertPoint(static_cast<std::int32_t>(position), detector.value(i), false);
  }
  const auto t4 = std::chrono::steady_clock::now();
  const double c4 = cpuSeconds();

  std::printf("frames %d (%.1f s at %d Hz), analysis frames %d, held tracks %d, families %d, curve points %d\n",
              frames, frames / double(rate), rate, detector.frameCount(),
              static_cast<int>(detector.trackTable().tracks().size()), detector.familyCount(), curve.pointCount());
  std::printf("analysis %.2f s, tracks grouped %.2f s, curve built %.2f s, points placed %.2f s, total %.2f s\n",
              seconds(t1 - t0), seconds(t2 - t1), seconds(t3 - t2), seconds(t4 - t3), seconds(t4 - t0));
  std::printf("processor time: %.2f s in the detector's frame analysis, %.2f s in all (with the reading or making)\n",
              detectorCpu, c4 - c0);
  std::printf("peak resident: %ld kB after the analysis, %ld kB at the end\n", afterFrames, statusKb("VmHWM:"));

  if (!o.dump.empty()) {
    std::FILE* f = std::fopen(o.dump.c_str(), "w");
    if (!f) return 1;
    for (int i = 0; i < curve.pointCount(); ++i) {
      std::fprintf(f, "p %d %08x\n", curve.positionOf(static_cast<unsigned>(i)),
                   std::bit_cast<std::uint32_t>(curve.ratioOf(static_cast<unsigned>(i))));
    }
    for (int fam = 0; fam < detector.familyCount(); ++fam) {
      for (int k = 0; k < detector.frameCount(); ++k) {
        const float v = detector.familyFrequency(fam, k);
        if (v >= 0.0f) std::fprintf(f, "f %d %d %08x\n", fam, k, std::bit_cast<std::uint32_t>(v));
      }
    }
    std::fclose(f);
  }
  return 0;
}
