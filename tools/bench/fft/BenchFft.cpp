// Times realFft and complexFft beside FFTW's single-precision real and
// complex transforms of the same lengths in the same run, and the
// analyser's cost per fed sample at the editor's default settings.
// Prints Google Benchmark's table, then the ratios (of the medians when run
// with --benchmark_repetitions).
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "analysis/HartleyFft.h"
#include "analysis/SpectrogramAnalyser.h"

namespace {

const int kLengths[] = {256, 1024, 4096, 32768};

std::vector<float> noise(std::size_t n) {
  std::mt19937 gen(1234);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> x(n);
  for (float& v : x) v = dist(gen);
  return x;
}

// Each iteration copies the same input into the work buffer first, for both
// libraries alike, so that repeated unscaled transforms cannot overflow.

void pelmoraReal(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<float> input = noise(static_cast<std::size_t>(n));
  std::vector<float> work(input.size());
  const HartleyFft fft;
  for (auto _ : state) {
    std::memcpy(work.data(), input.data(), input.size() * sizeof(float));
    fft.realFft(work.data(), n);
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }
}

void fftwReal(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<float> input = noise(static_cast<std::size_t>(n));
  float* in = fftwf_alloc_real(static_cast<std::size_t>(n));
  fftwf_complex* out = fftwf_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
  for (auto _ : state) {
    std::memcpy(in, input.data(), input.size() * sizeof(float));
    fftwf_execute(plan);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  fftwf_destroy_plan(plan);
  fftwf_free(out);
  fftwf_free(in);
}

void pelmoraComplex(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<float> inRe = noise(static_cast<std::size_t>(n));
  const std::vector<float> inIm = noise(static_cast<std::size_t>(n));
  std::vector<float> re(inRe.size()), im(inIm.size());
  const HartleyFft fft;
  for (auto _ : state) {
    std::memcpy(re.data(), inRe.data(), re.size() * sizeof(float));
    std::memcpy(im.data(), inIm.data(), im.size() * sizeof(float));
    fft.complexFft(re.data(), im.data(), n);
    benchmark::DoNotOptimize(re.data());
    benchmark::DoNotOptimize(im.data());
    benchmark::ClobberMemory();
  }
}

void fftwComplex(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<float> inRe = noise(static_cast<std::size_t>(n));
  const std::vector<float> inIm = noise(static_cast<std::size_t>(n));
  fftwf_complex* buf = fftwf_alloc_complex(static_cast<std::size_t>(n));
  fftwf_plan plan = fftwf_plan_dft_1d(n, buf, buf, FFTW_FORWARD, FFTW_MEASURE);
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) {
      buf[i][0] = inRe[static_cast<std::size_t>(i)];
      buf[i][1] = inIm[static_cast<std::size_t>(i)];
    }
    fftwf_execute(plan);
    benchmark::DoNotOptimize(buf);
    benchmark::ClobberMemory();
  }
  fftwf_destroy_plan(plan);
  fftwf_free(buf);
}

// The reading pass's use of the analyser: the plug-in's start settings
// (668 x 259 cells, N = 1024, Blackman) at 44100 Hz, prepare over the whole
// signal, then every sample fed, re-offered while columns complete.
void analyserPerSample(benchmark::State& state) {
  const int length = static_cast<int>(state.range(0));
  std::vector<float> x(static_cast<std::size_t>(length));
  for (int m = 0; m < length; ++m)
    x[static_cast<std::size_t>(m)] = static_cast<float>(0.5 * std::sin(2.0 * 3.141592653589793 * 1000.0 * m / 44100.0));
  SpectrogramAnalyser a;
  a.freeColumns();
  a.setFftLength(1024);
  a.setSampleRate(44100);
  a.setColumns(668);
  a.setRows(259);
  a.setWindow(2);
  a.allocateColumns();
  a.setZoom(1.0f);
  long long columns = 0;
  for (auto _ : state) {
    a.prepare(0, length, length);
    for (float s : x)
      while (a.feed(s)) ++columns;
    benchmark::DoNotOptimize(columns);
  }
  state.SetItemsProcessed(state.iterations() * length);
}

// Remembers the time per iteration of every run for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    // With --benchmark_repetitions the median stands for the benchmark.
    for (const Run& r : runs) {
      if (r.error_occurred) continue;
      const std::string name = r.run_name.str();
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
        times[name] = r.GetAdjustedRealTime();  // in the run's own time unit
        medians.insert(name);
      } else if (r.run_type == Run::RT_Iteration && !medians.count(name)) {
        times[name] = r.GetAdjustedRealTime();
      }
    }
  }
  std::map<std::string, double> times;
  std::set<std::string> medians;
};

}  // namespace

BENCHMARK(pelmoraReal)->Arg(256)->Arg(1024)->Arg(4096)->Arg(32768);
BENCHMARK(fftwReal)->Arg(256)->Arg(1024)->Arg(4096)->Arg(32768);
BENCHMARK(pelmoraComplex)->Arg(256)->Arg(1024)->Arg(4096)->Arg(32768);
BENCHMARK(fftwComplex)->Arg(256)->Arg(1024)->Arg(4096)->Arg(32768);
// 1 s, 10 s and 60 s of 44.1 kHz audio: the column spacing grows with the
// length, so the overlap of the frames, and the cost per sample, falls.
BENCHMARK(analyserPerSample)->Arg(44100)->Arg(441000)->Arg(2646000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-8s %14s %14s %8s   %14s %14s %8s\n", "n", "realFft ns", "fftw r2c ns", "ratio",
              "complexFft ns", "fftw c2c ns", "ratio");
  for (int n : kLengths) {
    std::string arg = "/";
    arg += std::to_string(n);
    const double pr = reporter.times["pelmoraReal" + arg], fr = reporter.times["fftwReal" + arg];
    const double pc = reporter.times["pelmoraComplex" + arg], fc = reporter.times["fftwComplex" + arg];
    if (pr <= 0 || fr <= 0 || pc <= 0 || fc <= 0) continue;
    std::printf("%-8d %14.1f %14.1f %8.2f   %14.1f %14.1f %8.2f\n", n, pr, fr, pr / fr, pc, fc, pc / fc);
  }
  for (int length : {44100, 441000, 2646000}) {
    std::string name = "analyserPerSample/";
    name += std::to_string(length);
    const double ms = reporter.times[name];
    if (ms > 0) std::printf("analyser, %7d samples: %.2f ns per fed sample\n", length, ms * 1e6 / length);
  }
  benchmark::Shutdown();
  return 0;
}
