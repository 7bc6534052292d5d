// Variable-ratio windowed-sinc resampler for one channel, fed block by block.
//
// Every input frame comes with a speed ratio: how fast the source ran at that
// frame, 1.0 nominal. The resampler emits one output frame per 1/ratio input
// frames, so a stretch that ran fast gets more frames and plays at nominal
// speed afterwards. Between blocks it carries the last input samples, their
// ratios and the fractional read position, so the output does not depend on
// where the blocks are cut.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class BlockResampler {
public:
    static constexpr int kHalfWidth = 8;
    static constexpr int kTaps = 2 * kHalfWidth + 1;

    // The walk cannot honour every float. A ratio above kMaxRatio would make
    // the read position stall or the output explode; one below kMinRatio
    // steps more than 2^32 frames, past the end of any file, and would only
    // overflow the positions. Ratios are clamped to this range, and anything
    // not finite and positive (the curve answers -1.0 beyond its end) plays
    // at the nominal ratio 1.0.
    static constexpr double kMaxRatio = 64.0;
    static constexpr double kMinRatio = 0x1p-32;
    static double usableRatio(float ratio);

    // The 17-tap kernel: a sinc under a Hann window, evaluated at the
    // fractional read position d (0 <= d < 1). The sines and cosines of the
    // taps come from one sine and cosine per output frame by angle addition;
    // the per-tap constants are computed once here.
    class Kernel {
    public:
        // The two factors of every tap's weight at one read position.
        struct Weights {
            std::array<double, kTaps> sinc;
            std::array<double, kTaps> hann;
        };

        Kernel();
        // window holds the input samples at the read position - 8 .. + 8.
        float operator()(std::span<const double, kTaps> window, double d) const;
        // The same in two steps, so that channels read at the same position
        // share the weights.
        void weights(double d, Weights& w) const;
        static float apply(std::span<const double, kTaps> window, const Weights& w) {
            return weightedSum(window, w.sinc, w.hann);
        }

    private:
        float onSample(std::span<const double, kTaps> window) const;
        static float weightedSum(std::span<const double, kTaps> window,
                                 const std::array<double, kTaps>& sinc,
                                 const std::array<double, kTaps>& hann);

        std::array<double, kTaps + 1> sinStep_{};  // sin(j pi), j = -9 .. 8
        std::array<double, kTaps + 1> cosStep_{};
        std::array<double, kTaps> sinHann_{};       // sin(2 pi (8 - s) / 17)
        std::array<double, kTaps> cosHann_{};
        std::array<double, kTaps> sincOnSample_{};  // the weights at d = 0
        std::array<double, kTaps> hannOnSample_{};
    };

    BlockResampler();

    // Back to the start of a stream. halfWidth must be 8; blockLength is the
    // usual block size, used to size the work arrays up front.
    bool initialise(int halfWidth, int blockLength);

    // Loads one block (ratios and input of the same length; a longer span is
    // cut to the shorter) and returns the number of output frames it yields.
    // first restarts the stream; last flushes it, so that every input frame
    // up to the final one becomes a read position.
    std::size_t countOutput(std::span<const float> ratios, std::span<const float> input,
                            bool first, bool last);

    // Computes the frames of the loaded block and carries the state over to
    // the next block. The first form writes into out and fails, writing
    // nothing, when out is shorter than the count or no block is loaded. The
    // second writes into the resampler's own buffer, grown as needed, and
    // returns the frames (empty when no block is loaded).
    bool render(std::span<float> out);
    std::span<const float> render();

    // Renders two resamplers loaded with the same ratios (the channels of
    // one file) in a single walk, each into its own buffer: the same frames
    // as two renders, for little more than the cost of one. False, rendering
    // nothing, when either is not loaded or their walks differ.
    static bool renderBoth(BlockResampler& a, BlockResampler& b, std::span<const float>& outA,
                           std::span<const float>& outB);

private:
    struct WalkEnd {
        double x;
        std::int64_t p;
    };
    template <class Visit>
    WalkEnd walk(Visit&& visit) const;
    void carryOver(const WalkEnd& at);

    Kernel kernel_;
    std::vector<double> history_;
    std::vector<double> stepHistory_;  // 1 / ratio of the frames in history_
    std::vector<double> workInput_;
    std::vector<double> workSteps_;
    std::vector<float> output_;
    bool isFirst_ = false;
    bool isLast_ = false;
    bool loaded_ = false;
    double fraction_ = 0.0;
    // Positions are 64-bit: a very slow ratio may step far beyond the block.
    std::int64_t start_ = 0;
    std::int64_t end_ = 0;
    std::int64_t blockLength_ = 0;
    std::int64_t historyLength_ = kHalfWidth;
    std::size_t count_ = 0;
};
