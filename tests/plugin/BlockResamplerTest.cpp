#include "plugin/BlockResampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr double kPi = 3.1415926535;
constexpr double kTwoPi = 6.283185307179586;

// The kernel exactly as written down: one sine and one cosine per tap.
float literalKernel(const double* window, double d) {
    double sum = 0.0;
    for (int s = -8; s <= 8; ++s) {
        const double u = (d - s) * kPi;
        const double sinc = u == 0.0 ? 1.0 : std::sin(u) / u;
        const double hann = (1.0 - std::cos(2.0 * kPi * (d - s + 8) / 17.0)) / 2.0;
        sum += window[s + 8] * sinc * hann;
    }
    return static_cast<float>(sum);
}

// The whole stream in one plain walk with the literal kernel: eight zeros
// before, eight after, one step of 1/ratio per output frame.
std::vector<float> literalResample(const std::vector<float>& in, const std::vector<float>& ratios) {
    std::vector<double> work(8, 0.0);
    work.insert(work.end(), in.begin(), in.end());
    work.insert(work.end(), 8, 0.0);
    std::vector<float> out;
    const auto end = static_cast<std::int64_t>(in.size()) + 7;
    double x = 8.0;
    for (std::int64_t p = 8; p <= end; p = static_cast<std::int64_t>(x)) {
        out.push_back(literalKernel(&work[p - 8], x - p));
        x += 1.0 / BlockResampler::usableRatio(ratios[p - 8]);
    }
    return out;
}

// Feeds a stream through one resampler in blocks of the given sizes, cycled;
// the block that reaches the end is the last.
std::vector<float> resample(BlockResampler& r, const std::vector<float>& in,
                            const std::vector<float>& ratios, std::vector<std::size_t> sizes) {
    std::vector<float> out;
    std::size_t at = 0;
    for (std::size_t b = 0; at < in.size() || b == 0; ++b) {
        const std::size_t n = std::min(sizes[b % sizes.size()], in.size() - at);
        const bool last = at + n == in.size();
        const std::size_t count = r.countOutput(std::span(ratios).subspan(at, n),
                                                std::span(in).subspan(at, n), b == 0, last);
        const auto frames = r.render();
        EXPECT_EQ(frames.size(), count);
        out.insert(out.end(), frames.begin(), frames.end());
        at += n;
    }
    return out;
}

std::vector<float> resample(const std::vector<float>& in, const std::vector<float>& ratios,
                            std::size_t block) {
    BlockResampler r;
    EXPECT_TRUE(r.initialise(8, static_cast<int>(block)));
    return resample(r, in, ratios, {block});
}

std::vector<float> noise(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> v(n);
    for (auto& s : v) s = dist(gen);
    return v;
}

// 1 + depth sin: wow with a period of the given number of frames.
std::vector<float> wow(std::size_t n, double depth, double period) {
    std::vector<float> r(n);
    for (std::size_t k = 0; k < n; ++k)
        r[k] = static_cast<float>(1.0 + depth * std::sin(kTwoPi * k / period));
    return r;
}

// Signal to residual of the best sine fit at the given frequency (cycles per
// frame) over out[from, to), in dB.
double sineSnr(const std::vector<float>& out, double freq, std::size_t from, std::size_t to) {
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
    for (std::size_t i = from; i < to; ++i) {
        const double s = std::sin(kTwoPi * freq * i), c = std::cos(kTwoPi * freq * i);
        ss += s * s, sc += s * c, cc += c * c, ys += out[i] * s, yc += out[i] * c;
    }
    const double det = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
    double signal = 0, residual = 0;
    for (std::size_t i = from; i < to; ++i) {
        const double fit = a * std::sin(kTwoPi * freq * i) + b * std::cos(kTwoPi * freq * i);
        signal += fit * fit;
        residual += (out[i] - fit) * (out[i] - fit);
    }
    return 10.0 * std::log10(signal / residual);
}

double maxDifference(const std::vector<float>& a, const std::vector<float>& b) {
    double worst = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        worst = std::max(worst, std::abs(static_cast<double>(a[i]) - b[i]));
    return worst;
}

}  // namespace

TEST(ResamplerKernel, MatchesLiteralFormulaToFloatPrecision) {
    const BlockResampler::Kernel kernel;
    const auto samples = noise(17 * 64, 7);
    std::vector<double> positions;
    for (int i = 0; i < 4096; ++i) positions.push_back(i / 4096.0 + 1.0 / 9973.0);
    for (double d : {0.0, 1e-300, 1e-12, 0.5 - 1e-15, 0.5, 1.0 - 0x1p-40, std::nextafter(1.0, 0.0)})
        positions.push_back(d);
    int differing = 0;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        std::array<double, 17> w{};
        for (int t = 0; t < 17; ++t) w[t] = samples[(i * 17 + t) % samples.size()];
        const float fast = kernel(w, positions[i]);
        const float literal = literalKernel(w.data(), positions[i]);
        // At most one float step apart, and rarely even that.
        ASSERT_LE(std::abs(fast - literal),
                  std::nextafter(std::abs(literal), INFINITY) - std::abs(literal))
            << "d = " << positions[i];
        differing += fast != literal;
    }
    EXPECT_LT(differing, static_cast<int>(positions.size()) / 100);
}

TEST(BlockResampler, FlatCurveScalesEveryFrameByTheWindowAtTheCentreTap) {
    const double gain = (1.0 - std::cos(16.0 * kPi / 17.0)) / 2.0;
    EXPECT_NEAR(gain, 0.99149, 1e-5);
    const auto in = noise(5000, 1);
    const std::vector<float> flat(in.size(), 1.0f);
    for (std::size_t block : {64, 1000, 8192}) {
        const auto out = resample(in, flat, block);
        ASSERT_EQ(out.size(), in.size()) << "block " << block;
        for (std::size_t i = 0; i < in.size(); ++i)
            ASSERT_NEAR(out[i], in[i] * gain, 1e-9 + 6e-8 * std::abs(in[i])) << "frame " << i;
    }
}

TEST(BlockResampler, ConstantRatioSetsTheOutputLength) {
    const auto in = noise(20000, 2);
    for (float ratio : {1.01f, 0.97f, 1.5f, 0.5f}) {
        const std::vector<float> ratios(in.size(), ratio);
        const auto out = resample(in, ratios, 1024);
        EXPECT_NEAR(static_cast<double>(out.size()), in.size() * static_cast<double>(ratio), 2.0)
            << "ratio " << ratio;
    }
}

TEST(BlockResampler, SineAtConstantRatioStaysClean) {
    const std::size_t n = 48000;
    const double freq = 0.05;
    std::vector<float> in(n);
    for (std::size_t k = 0; k < n; ++k) in[k] = static_cast<float>(std::sin(kTwoPi * freq * k));
    for (float ratio : {1.01f, 0.99f, 1.25f, 0.8f}) {
        const auto out = resample(in, std::vector<float>(n, ratio), 4096);
        const double snr = sineSnr(out, freq / ratio, 100, out.size() - 100);
        EXPECT_GT(snr, 80.0) << "ratio " << ratio;
    }
}

TEST(BlockResampler, VarispeedRemovesWowFromATone) {
    // A tone recorded with 0.4 % wow: its phase advances by freq x ratio per
    // frame. Corrected with the same ratios it must come out steady.
    const std::size_t n = 96000;
    const double freq = 1000.0 / 48000.0;
    const auto ratios = wow(n, 0.004, 24000.0);
    std::vector<float> in(n);
    double phase = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        in[k] = static_cast<float>(0.5 * std::sin(phase));
        phase += kTwoPi * freq * ratios[k];
    }
    const auto out = resample(in, ratios, 2048);
    EXPECT_LT(sineSnr(in, freq, 100, n - 100), 10.0);
    EXPECT_GT(sineSnr(out, freq, 100, out.size() - 100), 65.0);
}

// Against the plain walk: gentle wow, where nearly every step lands in the
// next frame, and a wide swing (ratios 0.25 to 4), where steps skip frames
// and stall on them.
TEST(BlockResampler, OutputDoesNotDependOnBlockSizes) {
    const auto in = noise(30000, 3);
    std::vector<float> swing(in.size());
    for (std::size_t k = 0; k < swing.size(); ++k)
        swing[k] = static_cast<float>(std::exp2(2.0 * std::sin(kTwoPi * k / 5000.0)));
    for (const auto& ratios : {wow(in.size(), 0.01, 7000.0), swing}) {
        const auto reference = literalResample(in, ratios);
        const auto whole = resample(in, ratios, in.size());
        ASSERT_EQ(whole.size(), reference.size());
        EXPECT_LE(maxDifference(whole, reference), 1e-6);
        for (const std::vector<std::size_t>& sizes :
             {std::vector<std::size_t>{64}, {4096}, {1000}, {1, 7, 3, 500, 17, 8, 9}}) {
            BlockResampler r;
            const auto out = resample(r, in, ratios, sizes);
            ASSERT_EQ(out.size(), reference.size()) << "first block " << sizes[0];
            EXPECT_LE(maxDifference(out, reference), 1e-6) << "first block " << sizes[0];
        }
    }
}

TEST(BlockResampler, ShortFileIsOneBlockBothFirstAndLast) {
    const auto in = noise(100, 4);
    BlockResampler r;
    ASSERT_TRUE(r.initialise(8, 4096));
    const std::vector<float> flat(in.size(), 1.0f);
    ASSERT_EQ(r.countOutput(flat, in, true, true), in.size());
    const auto out = r.render();
    EXPECT_EQ(std::vector<float>(out.begin(), out.end()), literalResample(in, flat));
}

TEST(BlockResampler, UnusableRatiosPlayAtNominalSpeed) {
    const auto in = noise(6000, 5);
    const std::vector<float> flat(in.size(), 1.0f);
    const auto expected = resample(in, flat, 512);
    const float inf = std::numeric_limits<float>::infinity();
    for (float bad : {-1.0f, 0.0f, -0.0f, inf, -inf, std::numeric_limits<float>::quiet_NaN()}) {
        auto ratios = flat;
        for (std::size_t k = 0; k < ratios.size(); k += 37) ratios[k] = bad;
        EXPECT_EQ(resample(in, ratios, 512), expected) << "ratio " << bad;
        // A curve that ends early answers -1.0 for everything after it.
        EXPECT_EQ(resample(in, std::vector<float>(in.size(), bad), 512), expected);
    }
}

// The block's ratios are made usable in bulk; every float at and around the
// edges of the usable range must come out as usableRatio has it.
TEST(BlockResampler, BulkRatiosMatchUsableRatio) {
    const float inf = std::numeric_limits<float>::infinity();
    const float edges[] = {0.0f, -0.0f, std::numeric_limits<float>::denorm_min(),
                           -std::numeric_limits<float>::denorm_min(), 0x1p-33f, 0x1p-32f,
                           std::nextafter(0x1p-32f, 0.0f), std::nextafter(0x1p-32f, 1.0f), 0.3f, 1.0f,
                           std::nextafter(64.0f, 0.0f), 64.0f, std::nextafter(64.0f, inf), 65.0f,
                           std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(), inf, -inf,
                           std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                           -1.0f};
    const auto in = noise(4000, 13);
    for (float edge : edges) {
        std::vector<float> ratios = wow(in.size(), 0.2, 900.0);
        for (std::size_t k = 100; k < ratios.size(); k += 301) ratios[k] = edge;
        std::vector<float> usable(ratios.size());
        for (std::size_t k = 0; k < ratios.size(); ++k)
            usable[k] = static_cast<float>(BlockResampler::usableRatio(ratios[k]));
        EXPECT_EQ(resample(in, ratios, 700), resample(in, usable, 700)) << "ratio " << edge;
    }
}

TEST(BlockResampler, ExtremeRatiosTerminateInsideTheArrays) {
    const auto in = noise(3000, 6);
    // A huge ratio is held to the largest the walk honours.
    const auto fast = resample(in, std::vector<float>(in.size(), 1e30f), 256);
    EXPECT_EQ(fast, resample(in, std::vector<float>(in.size(), 64.0f), 256));
    EXPECT_NEAR(static_cast<double>(fast.size()), 64.0 * in.size(), 64.0);
    for (float v : fast) ASSERT_TRUE(std::isfinite(v));
    // A vanishing ratio steps past the end of the stream: nothing after it.
    for (float tiny : {1e-30f, std::numeric_limits<float>::denorm_min()}) {
        std::vector<float> ratios(in.size(), 1.0f);
        ratios[1000] = tiny;
        EXPECT_EQ(resample(in, ratios, 256).size(), 1001u);
    }
}

TEST(BlockResampler, BlocksYieldingMoreThanFourTimesTheirLengthAreComplete) {
    const auto in = noise(2000, 8);
    const std::vector<float> ratios(in.size(), 10.0f);
    BlockResampler r;
    ASSERT_TRUE(r.initialise(8, 256));
    const std::size_t count = r.countOutput(std::span(ratios).first(256), std::span(in).first(256), true, false);
    EXPECT_GT(count, 4u * 256u);
    // A buffer too short is refused untouched, and the block stays loaded.
    std::vector<float> small(4 * 256, 42.0f);
    EXPECT_FALSE(r.render(small));
    EXPECT_EQ(small, std::vector<float>(small.size(), 42.0f));
    std::vector<float> enough(count);
    EXPECT_TRUE(r.render(enough));
    EXPECT_FALSE(r.render(enough));  // nothing loaded any more
    EXPECT_TRUE(r.render().empty());

    const auto reference = literalResample(in, ratios);
    const auto out = resample(in, ratios, 256);
    ASSERT_EQ(out.size(), reference.size());
    EXPECT_LE(maxDifference(out, reference), 1e-6);
}

TEST(BlockResampler, StereoChannelsAreIndependent) {
    const auto left = noise(10000, 9);
    const std::vector<float> right(left.size(), 0.0f);
    const auto ratios = wow(left.size(), 0.004, 3000.0);
    const std::size_t block = 777;
    BlockResampler a, b;
    ASSERT_TRUE(a.initialise(8, block) && b.initialise(8, block));
    std::vector<float> outA, outB;
    for (std::size_t at = 0; at < left.size(); at += block) {
        const std::size_t n = std::min(block, left.size() - at);
        const bool first = at == 0, last = at + n == left.size();
        const auto r = std::span(ratios).subspan(at, n);
        const std::size_t countA = a.countOutput(r, std::span(left).subspan(at, n), first, last);
        ASSERT_EQ(b.countOutput(r, std::span(right).subspan(at, n), first, last), countA);
        const auto fa = a.render();
        const auto fb = b.render();
        outA.insert(outA.end(), fa.begin(), fa.end());
        outB.insert(outB.end(), fb.begin(), fb.end());
    }
    EXPECT_EQ(outA, resample(left, ratios, block));
    EXPECT_EQ(outB, std::vector<float>(outA.size(), 0.0f));
}

// Both channels in one walk give exactly the frames of two renders, across
// blocks of changing size (ratios with a wide swing, so that blocks carry
// different fractions), and a pair loaded with different ratios is refused.
TEST(BlockResampler, TwoChannelsInOneWalkMatchSeparateRenders) {
    const auto left = noise(20000, 11);
    const auto right = noise(left.size(), 12);
    const auto ratios = wow(left.size(), 0.3, 2500.0);
    BlockResampler a, b;
    ASSERT_TRUE(a.initialise(8, 1000) && b.initialise(8, 1000));
    std::vector<float> outA, outB;
    const std::size_t sizes[] = {1000, 17, 1, 640};
    std::size_t at = 0;
    for (std::size_t k = 0; at < left.size(); ++k) {
        const std::size_t n = std::min(sizes[k % 4], left.size() - at);
        const bool first = at == 0, last = at + n == left.size();
        const auto r = std::span(ratios).subspan(at, n);
        const std::size_t count = a.countOutput(r, std::span(left).subspan(at, n), first, last);
        ASSERT_EQ(b.countOutput(r, std::span(right).subspan(at, n), first, last), count);
        std::span<const float> fa, fb;
        ASSERT_TRUE(BlockResampler::renderBoth(a, b, fa, fb));
        ASSERT_EQ(fa.size(), count);
        outA.insert(outA.end(), fa.begin(), fa.end());
        outB.insert(outB.end(), fb.begin(), fb.end());
        at += n;
    }
    BlockResampler single;
    ASSERT_TRUE(single.initialise(8, 1000));
    EXPECT_EQ(outA, resample(single, left, ratios, {1000, 17, 1, 640}));
    EXPECT_EQ(outB, resample(single, right, ratios, {1000, 17, 1, 640}));

    const std::vector<float> other(100, 1.5f), ones(100, 1.0f);
    a.countOutput(ones, std::span(left).first(100), true, false);
    b.countOutput(other, std::span(right).first(100), true, false);
    std::span<const float> fa, fb;
    EXPECT_FALSE(BlockResampler::renderBoth(a, b, fa, fb));
    EXPECT_FALSE(a.render().empty()) << "a refused pair stays loaded";
}

// The second channel taking over the first's walk gives, bit for bit, the
// frames of its own walk, across blocks of changing size, jumps past whole
// blocks and a restart. Taken over, it renders only with its leader.
TEST(BlockResampler, SecondChannelTakesOverTheWalk) {
    const auto left = noise(20000, 13);
    const auto right = noise(left.size(), 14);
    auto ratios = wow(left.size(), 0.3, 2500.0);
    // A stretch so slow that one step leaves the next blocks behind.
    std::fill(ratios.begin() + 9000, ratios.begin() + 9004, 0.0004f);
    const std::vector<std::size_t> sizes = {1000, 17, 1, 640};
    BlockResampler a, b, stranger;
    ASSERT_TRUE(a.initialise(8, 1000) && b.initialise(8, 1000) && stranger.initialise(8, 1000));
    for (int run = 0; run < 2; ++run) {
        std::vector<float> outA, outB;
        std::size_t at = 0;
        for (std::size_t k = 0; at < left.size(); ++k) {
            const std::size_t n = std::min(sizes[k % sizes.size()], left.size() - at);
            const bool first = at == 0, last = at + n == left.size();
            const auto r = std::span(ratios).subspan(at, n);
            const std::size_t count = a.countOutput(r, std::span(left).subspan(at, n), first, last);
            ASSERT_EQ(b.countOutputAlong(a, r, std::span(right).subspan(at, n), first, last), count);
            std::span<const float> fa, fb;
            if (k == 3) {
                EXPECT_TRUE(b.render().empty());
                std::vector<float> room(count + 1);
                EXPECT_FALSE(b.render(room));
                // Another resampler on the same walk is not the leader.
                stranger.countOutput(r, std::span(left).subspan(at, n), first, last);
                EXPECT_FALSE(BlockResampler::renderBoth(stranger, b, fa, fb));
            }
            ASSERT_TRUE(BlockResampler::renderBoth(a, b, fa, fb));
            ASSERT_EQ(fb.size(), count);
            outA.insert(outA.end(), fa.begin(), fa.end());
            outB.insert(outB.end(), fb.begin(), fb.end());
            at += n;
        }
        BlockResampler single;
        ASSERT_TRUE(single.initialise(8, 1000));
        EXPECT_EQ(outA, resample(single, left, ratios, sizes)) << "run " << run;
        EXPECT_EQ(outB, resample(single, right, ratios, sizes)) << "run " << run;
    }

    // A leader loaded again since, or rendered alone, no longer serves.
    const auto r = std::span(ratios).first(500);
    a.countOutput(r, std::span(left).first(500), true, false);
    b.countOutputAlong(a, r, std::span(right).first(500), true, false);
    a.countOutput(r, std::span(left).first(500), true, false);
    std::span<const float> fa, fb;
    EXPECT_FALSE(BlockResampler::renderBoth(a, b, fa, fb));
    b.countOutputAlong(a, r, std::span(right).first(500), true, false);
    EXPECT_FALSE(a.render().empty());
    EXPECT_FALSE(BlockResampler::renderBoth(a, b, fa, fb));
}

// Where the two streams do not stand at the same place, the second channel
// makes its own walk: the same frames as countOutput would give it.
TEST(BlockResampler, SecondChannelWalksAloneWhenThePairDiffers) {
    const auto left = noise(600, 15);
    const auto right = noise(600, 16);
    const auto ratios = wow(600, 0.2, 150.0);
    const std::vector<float> faster(600, 1.37f);
    const auto block = [](const std::vector<float>& v, std::size_t at, std::size_t n) {
        return std::span(v).subspan(at, n);
    };
    // Each case loads the leader and the follower, then compares the
    // follower with a copy that walks on its own.
    const auto expectOwnWalk = [&](BlockResampler& a, BlockResampler& b, std::size_t n, bool first, bool last,
                                   const char* why) {
        BlockResampler own = b;
        const std::size_t count = own.countOutput(block(ratios, 200, n), block(right, 200, n), first, last);
        EXPECT_EQ(b.countOutputAlong(a, block(ratios, 200, n), block(right, 200, n), first, last), count) << why;
        const auto expected = own.render();
        const auto got = b.render();
        EXPECT_EQ(std::vector<float>(got.begin(), got.end()), std::vector<float>(expected.begin(), expected.end()))
            << why;
    };

    BlockResampler a, b;
    ASSERT_TRUE(a.initialise(8, 200) && b.initialise(8, 200));
    // Carried states differ: the first blocks went along other ratios.
    a.countOutput(block(ratios, 0, 200), block(left, 0, 200), true, false);
    b.countOutput(block(faster, 0, 200), block(right, 0, 200), true, false);
    a.render();
    b.render();
    a.countOutput(block(ratios, 200, 200), block(left, 200, 200), false, false);
    expectOwnWalk(a, b, 200, false, false, "other carried state");

    // The leader loaded nothing, or another length, or another end; the
    // follower stands where the leader stood before loading.
    a.render();
    BlockResampler c = a;
    expectOwnWalk(a, c, 200, false, false, "leader not loaded");
    BlockResampler d = a;
    a.countOutput(block(ratios, 200, 150), block(left, 200, 150), false, false);
    expectOwnWalk(a, d, 200, false, false, "other length");
    BlockResampler e = a;
    expectOwnWalk(a, e, 150, false, true, "other end");
}

TEST(BlockResampler, FirstBlockRestartsTheStream) {
    const auto in = noise(5000, 10);
    const auto ratios = wow(in.size(), 0.02, 1000.0);
    BlockResampler r;
    ASSERT_TRUE(r.initialise(8, 300));
    const auto once = resample(r, in, ratios, {300});
    EXPECT_EQ(resample(r, in, ratios, {300}), once);
    EXPECT_FALSE(r.initialise(7, 300));
    EXPECT_FALSE(r.initialise(8, 0));
}
