// Frames per second of the correction resampler, mono and stereo, driven as
// the correction pass drives it (per-frame ratios, one resampler per channel,
// both channels of stereo in one walk, host-sized blocks), and of libsamplerate's SRC_SINC_MEDIUM_QUALITY with a
// variable ratio on the same input and speed curve. After the runs it prints
// the throughput of ours over libsamplerate's.
//
// Build and run (a Release build without sanitizers):
//   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMORA_SANITIZE=OFF
//         "-DPELMORA_FOLDERS=vst;platform;analysis;curve;engines;detect;plugin;tools"
//   cmake --build build/bench --target bench-correction
//   build/bench/bin/bench-correction --benchmark_repetitions=5
// On a shared machine compare versions with repeated runs, or by instruction
// counts under valgrind --tool=callgrind.
#include "plugin/BlockResampler.h"

#include <benchmark/benchmark.h>
#include <samplerate.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kRate = 44100.0;
constexpr std::size_t kFrames = 10 * 44100;  // ten seconds
constexpr std::size_t kBlock = 8192;        // a usual host read size
constexpr std::size_t kSrcChunk = 256;      // input frames per libsamplerate call

struct Material {
    std::vector<float> ratios;                 // per input frame
    std::vector<std::vector<float>> channels;  // two channels of music-like test audio
};

// 0.4 % peak wow: a 0.55 Hz swing plus a slower drift.
Material makeMaterial() {
    Material m;
    m.ratios.resize(kFrames);
    for (std::size_t k = 0; k < kFrames; ++k) {
        const double t = k / kRate;
        m.ratios[k] = static_cast<float>(1.0 + 0.003 * std::sin(kTwoPi * 0.55 * t) +
                                         0.001 * std::sin(kTwoPi * 0.07 * t));
    }
    std::mt19937 gen(1);
    std::normal_distribution<float> hiss(0.0f, 0.01f);
    m.channels.assign(2, std::vector<float>(kFrames));
    for (std::size_t c = 0; c < 2; ++c)
        for (std::size_t k = 0; k < kFrames; ++k) {
            const double t = k / kRate;
            m.channels[c][k] = static_cast<float>(0.3 * std::sin(kTwoPi * (220.0 + c) * t) +
                                                  0.2 * std::sin(kTwoPi * 1375.0 * t) +
                                                  0.1 * std::sin(kTwoPi * 6100.0 * t)) +
                               hiss(gen);
        }
    return m;
}

const Material& material() {
    static const Material m = makeMaterial();
    return m;
}

void correction(benchmark::State& state) {
    const auto channels = static_cast<std::size_t>(state.range(0));
    const Material& m = material();
    std::vector<BlockResampler> resamplers(channels);
    std::size_t produced = 0;
    for (auto _ : state) {
        produced = 0;
        for (auto& r : resamplers) r.initialise(8, static_cast<int>(kBlock));
        for (std::size_t at = 0; at < kFrames; at += kBlock) {
            const std::size_t n = std::min(kBlock, kFrames - at);
            const auto ratios = std::span(m.ratios).subspan(at, n);
            const bool first = at == 0, last = at + n == kFrames;
            resamplers[0].countOutput(ratios, std::span(m.channels[0]).subspan(at, n), first, last);
            // Stereo as the pass renders it: both channels in one walk.
            std::span<const float> out, second;
            if (channels == 2) {
                resamplers[1].countOutputAlong(resamplers[0], ratios, std::span(m.channels[1]).subspan(at, n), first,
                                               last);
                BlockResampler::renderBoth(resamplers[0], resamplers[1], out, second);
                benchmark::DoNotOptimize(second.data());
            } else {
                out = resamplers[0].render();
            }
            benchmark::DoNotOptimize(out.data());
            produced += out.size();
        }
    }
    state.counters["frames/s"] = benchmark::Counter(
        static_cast<double>(kFrames), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["output"] = static_cast<double>(produced);
}

void libsamplerate(benchmark::State& state) {
    const auto channels = static_cast<int>(state.range(0));
    const Material& m = material();
    std::vector<float> interleaved(kFrames * channels);
    for (std::size_t k = 0; k < kFrames; ++k)
        for (int c = 0; c < channels; ++c) interleaved[k * channels + c] = m.channels[c][k];
    std::vector<float> out(kSrcChunk * 2 * channels);
    int error = 0;
    SRC_STATE* src = src_new(SRC_SINC_MEDIUM_QUALITY, channels, &error);
    if (src == nullptr) {
        state.SkipWithError(src_strerror(error));
        return;
    }
    std::size_t produced = 0;
    for (auto _ : state) {
        src_reset(src);
        src_set_ratio(src, m.ratios[0]);
        produced = 0;
        std::size_t at = 0;
        bool done = false;
        while (!done) {
            const std::size_t n = std::min(kSrcChunk, kFrames - at);
            SRC_DATA data{};
            data.data_in = interleaved.data() + at * channels;
            data.input_frames = static_cast<long>(n);
            data.data_out = out.data();
            data.output_frames = static_cast<long>(out.size() / channels);
            data.end_of_input = at + n == kFrames;
            // The ratio ramps to the curve's value at the end of the chunk.
            data.src_ratio = m.ratios[std::min(at + n, kFrames - 1)];
            if (src_process(src, &data) != 0) {
                state.SkipWithError("src_process failed");
                break;
            }
            benchmark::DoNotOptimize(out.data());
            produced += static_cast<std::size_t>(data.output_frames_gen);
            at += static_cast<std::size_t>(data.input_frames_used);
            done = data.end_of_input && data.input_frames_used == 0 && data.output_frames_gen == 0;
        }
    }
    src_delete(src);
    state.counters["frames/s"] = benchmark::Counter(
        static_cast<double>(kFrames), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["output"] = static_cast<double>(produced);
}

// The kernel alone, against the plain formula with a sine and a cosine per
// tap, over read positions spread across (0, 1).
constexpr double kPi = 3.1415926535;
float plainKernel(std::span<const double, 17> w, double d) {
    double sum = 0.0;
    for (int s = -8; s <= 8; ++s) {
        const double u = (d - s) * kPi;
        const double sinc = u == 0.0 ? 1.0 : std::sin(u) / u;
        const double hann = (1.0 - std::cos(2.0 * kPi * (d - s + 8) / 17.0)) / 2.0;
        sum += w[s + 8] * sinc * hann;
    }
    return static_cast<float>(sum);
}

template <class K>
void kernelLoop(benchmark::State& state, const K& kernel) {
    std::array<double, 17> w{};
    for (int t = 0; t < 17; ++t) w[t] = material().channels[0][1000 + t];
    double d = 0.123;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kernel(w, d));
        d += 0.6180339887;
        if (d >= 1.0) d -= 1.0;
    }
    state.counters["frames/s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
void kernelFast(benchmark::State& state) { kernelLoop(state, BlockResampler::Kernel()); }
void kernelPlain(benchmark::State& state) { kernelLoop(state, plainKernel); }
BENCHMARK(kernelFast);
BENCHMARK(kernelPlain);

BENCHMARK(correction)->Arg(1)->Arg(2)->ArgName("channels")->Unit(benchmark::kMillisecond);
BENCHMARK(libsamplerate)->Arg(1)->Arg(2)->ArgName("channels")->Unit(benchmark::kMillisecond);

// Keeps the rate of every run (the median when repetitions are asked for).
class RateReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> rates;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const auto it = run.counters.find("frames/s");
            if ((single || median) && it != run.counters.end() && !run.error_occurred)
                rates[run.run_name.function_name + "/" + run.run_name.args] = it->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    material();
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* channels : {"channels:1", "channels:2"}) {
        const auto ours = reporter.rates.find(std::string("correction/") + channels);
        const auto theirs = reporter.rates.find(std::string("libsamplerate/") + channels);
        if (ours != reporter.rates.end() && theirs != reporter.rates.end())
            std::printf("%s: correction %.3g frames/s (%.0fx real time at 44.1 kHz), libsamplerate %.3g frames/s, "
                        "ratio %.2f\n",
                        channels, ours->second, ours->second / kRate, theirs->second, ours->second / theirs->second);
    }
    const auto fast = reporter.rates.find("kernelFast/");
    const auto plain = reporter.rates.find("kernelPlain/");
    if (fast != reporter.rates.end() && plain != reporter.rates.end())
        std::printf("kernel: tables and angle addition %.3g frames/s, plain formula %.3g frames/s, ratio %.2f\n",
                    fast->second, plain->second, fast->second / plain->second);
    benchmark::Shutdown();
    return 0;
}
