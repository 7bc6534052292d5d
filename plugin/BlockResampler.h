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
    // fractional read position d (0 <= d < 1). The two angles a read position
    // needs come from small tables and a short series, the taps' sines and
    // cosines from those by angle addition: no library sine per frame.
    class Kernel {
    public:
        // Every tap's weight at one read position: sinc x window.
        using Weights = std::array<double, kTaps>;

        Kernel();
        // window holds the input samples at the read position - 8 .. + 8.
        float operator()(std::span<const double, kTaps> window, double d) const;
        // The same in two steps, so that channels read at the same position
        // share the weights.
        void weights(double d, Weights& w) const;
        static float apply(std::span<const double, kTaps> window, const Weights& w);
        // The frames at a run of read positions (index into the input, and
        // the fraction past it) for one or two channels read at the same
        // positions: outputs[c][i] from inputs[c] around index[i].
        void render(std::span<const std::int64_t> index, std::span<const double> fraction,
                    std::span<const double* const> inputs, std::span<float* const> outputs) const;

        // Table steps per unit of read position (a power of two, so that the
        // remainder after the table entry is exact).
        static constexpr int kSteps = 64;

    private:
        struct Angle {
            double sin;
            double cos;
        };
        void tapWeights(double d, Weights& w) const;  // d > 0
        template <std::size_t Channels>
        void renderFrames(const std::int64_t* index, const double* fraction, std::size_t n,
                          const double* const* inputs, float* const* outputs) const;

        std::array<double, kTaps> offset_{};   // s = -8 .. 8 as doubles
        std::array<double, kTaps> sinStep_{};  // sin(s pi)
        std::array<double, kTaps> cosStep_{};
        std::array<double, kTaps> sinHann_{};  // sin(2 pi (8 - s) / 17), halved
        std::array<double, kTaps> cosHann_{};  // cos of the same, halved
        Weights onSample_{};                   // the weights at d = 0
        // sin and cos of j pi / kSteps and of 2 pi j / (17 kSteps), j = 0 ..
        // kSteps.
        std::array<Angle, kSteps + 1> sincTable_{};
        std::array<Angle, kSteps + 1> hannTable_{};
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

    // Loads the other channel of a file for renderBoth(leader, *this): the
    // same block read along the same ratios as leader, which has just loaded
    // it with countOutput. Leader's walk serves both, so this one neither
    // takes the quotients nor walks, and it cannot be rendered alone. When
    // the two streams do not stand at the same place (leader not loaded, or
    // loaded with another length, first or last, or carrying another state)
    // the block is loaded as countOutput loads it.
    std::size_t countOutputAlong(const BlockResampler& leader, std::span<const float> ratios,
                                 std::span<const float> input, bool first, bool last);

    // Computes the frames of the loaded block and carries the state over to
    // the next block. The first form writes into out and fails, writing
    // nothing, when out is shorter than the count or no block is loaded. The
    // second writes into the resampler's own buffer, grown as needed, and
    // returns the frames (empty when no block is loaded). A block loaded
    // along a leader's walk is not rendered here.
    bool render(std::span<float> out);
    std::span<const float> render();

    // Renders two resamplers loaded with the same ratios (the channels of
    // one file) in a single pass, each into its own buffer: the same frames
    // as two renders, for little more than the cost of one. False, rendering
    // nothing, when either is not loaded or their walks differ: b loaded
    // along another leader, or along a's walk of another block.
    static bool renderBoth(BlockResampler& a, BlockResampler& b, std::span<const float>& outA,
                           std::span<const float>& outB);

private:
    // The block's work arrays and bounds, all but the walk.
    void load(std::span<const float> ratios, std::span<const float> input, bool first, bool last, bool withSteps);
    void walk();
    // Keeps the end of the block for the next one; steps are the walk's
    // steps over the block, this one's own or its leader's.
    void carryOver(const std::vector<double>& steps);
    bool sameWalk(const BlockResampler& other) const;

    Kernel kernel_;
    std::vector<double> history_;
    std::vector<double> stepHistory_;  // 1 / ratio of the frames in history_
    std::vector<double> workInput_;
    std::vector<double> workSteps_;
    // The loaded block's read positions, found by countOutput: the index in
    // workInput_ and the fraction past it (count_ of them; the arrays only
    // grow).
    std::vector<std::int64_t> readIndex_;
    std::vector<double> readFraction_;
    std::size_t count_ = 0;
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
    // Where the walk stopped: the first read position past the block.
    double endX_ = 0.0;
    std::int64_t endP_ = 0;
    // The resampler whose walk the loaded block follows, and which of its
    // loads that walk belongs to; null for a block with a walk of its own.
    const BlockResampler* leader_ = nullptr;
    std::uint64_t leaderLoad_ = 0;
    std::uint64_t loads_ = 0;
};
