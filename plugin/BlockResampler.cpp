#include "plugin/BlockResampler.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

// Ten decimals on purpose: the kernel's figures (and the flat-curve gain)
// depend on this exact value, in the sinc and in the window alike.
constexpr double kPi = 3.1415926535;
constexpr int kHalf = BlockResampler::kHalfWidth;
constexpr int kSteps = BlockResampler::Kernel::kSteps;
constexpr double kHannScale = 2.0 * kPi / 17.0;

// sin and cos of y for |y| <= pi / (2 kSteps): the series is cut where its
// next term falls below a thousandth of a double's step.
double shortSin(double y) {
    const double y2 = y * y;
    return y + y * (y2 * (-1.0 / 6.0 + y2 * (1.0 / 120.0 + y2 * (-1.0 / 5040.0))));
}
double shortCos(double y) {
    const double y2 = y * y;
    return 1.0 + y2 * (-0.5 + y2 * (1.0 / 24.0 + y2 * (-1.0 / 720.0)));
}

// usableRatio on the float's bits, which order positive floats as their
// values do: integer selections, which the compiler vectorises where
// floating-point comparisons would not be.
constexpr std::uint32_t kOneBits = 0x3f800000;  // 1.0f
constexpr std::uint32_t kMinBits = 0x2f800000;  // 2^-32
constexpr std::uint32_t kMaxBits = 0x42800000;  // 64.0f
static_assert(std::bit_cast<float>(kMinBits) == BlockResampler::kMinRatio);
static_assert(std::bit_cast<float>(kMaxBits) == BlockResampler::kMaxRatio);

float usableRatioBits(float ratio) {
    std::uint32_t bits = std::bit_cast<std::uint32_t>(ratio);
    // Positive and finite: above +0, below +infinity (NaNs and negatives,
    // -0 included, fall outside as well).
    const std::uint32_t usable = 0u - static_cast<std::uint32_t>(bits - 1u < 0x7f7fffffu);
    bits = (bits & usable) | (kOneBits & ~usable);
    return std::bit_cast<float>(std::clamp(bits, kMinBits, kMaxBits));
}

// One output sample: the window's samples times their weights, summed in
// two running sums, odd and even taps, to halve the chain of additions.
// Kept out of line: inlined into the frame loop, the compiler stops pairing
// its taps into vector operations.
[[gnu::noinline]] float dot(const double* window, const double* w) {
    double even = window[0] * w[0];
    double odd = window[1] * w[1];
    for (int t = 2; t < BlockResampler::kTaps - 1; t += 2) {
        even += window[t] * w[t];
        odd += window[t + 1] * w[t + 1];
    }
    even += window[BlockResampler::kTaps - 1] * w[BlockResampler::kTaps - 1];
    return static_cast<float>(even + odd);
}

}  // namespace

double BlockResampler::usableRatio(float ratio) {
    const double r = ratio;
    if (!(r > 0.0) || !std::isfinite(r)) return 1.0;
    return std::clamp(r, kMinRatio, kMaxRatio);
}

BlockResampler::Kernel::Kernel() {
    for (int t = 0; t < kTaps; ++t) {
        offset_[t] = t - kHalf;
        const double step = static_cast<double>(t - kHalf) * kPi;
        sinStep_[t] = std::sin(step);
        cosStep_[t] = std::cos(step);
        // The window's angle at d = 0, written as the window formula has it.
        const double angle = 2.0 * kPi * static_cast<double>(kHalf - (t - kHalf)) / 17.0;
        sinHann_[t] = std::sin(angle) / 2.0;
        cosHann_[t] = std::cos(angle) / 2.0;
        // At d = 0 the weights are constants; the centre tap's sinc is 1 by
        // definition (its angle is 0).
        const double u = static_cast<double>(kHalf - t) * kPi;
        const double sinc = t == kHalf ? 1.0 : std::sin(u) / u;
        onSample_[t] = sinc * (0.5 - cosHann_[t]);
    }
    for (int j = 0; j <= kSteps; ++j) {
        const double sincAngle = static_cast<double>(j) * kPi / kSteps;
        sincTable_[j] = {std::sin(sincAngle), std::cos(sincAngle)};
        const double hannAngle = 2.0 * kPi * static_cast<double>(j) / (17.0 * kSteps);
        hannTable_[j] = {std::sin(hannAngle), std::cos(hannAngle)};
    }
}

[[gnu::always_inline]] inline void BlockResampler::Kernel::tapWeights(double d, Weights& w) const {
    // sin and cos of d pi and of the window's 2 pi d / 17, from the nearest
    // table entry and the exact remainder past it. Where d pi nears 0 or pi
    // the entry's sine is (nearly) 0 and the series carries the value, so the
    // sine keeps its precision relative to its size.
    const int j = static_cast<int>(d * kSteps + 0.5);
    const double r = d - static_cast<double>(j) / kSteps;
    const double y = r * kPi;
    const double sinY = shortSin(y), cosY = shortCos(y);
    const Angle& a = sincTable_[j];
    const double sinD = a.sin * cosY + a.cos * sinY;
    const double cosD = a.cos * cosY - a.sin * sinY;
    const double z = r * kHannScale;
    const double sinZ = shortSin(z), cosZ = shortCos(z);
    const Angle& b = hannTable_[j];
    const double sinH = b.sin * cosZ + b.cos * sinZ;
    const double cosH = b.cos * cosZ - b.sin * sinZ;
    // Each tap's angles by angle addition: sin((d - s) pi) from d pi and
    // s pi, the window's cosine from its angle at d = 0.
    for (int t = 0; t < kTaps; ++t) {
        const double u = (d - offset_[t]) * kPi;
        const double sinU = sinD * cosStep_[t] - cosD * sinStep_[t];
        const double halfCos = cosH * cosHann_[t] - sinH * sinHann_[t];
        w[t] = sinU / u * (0.5 - halfCos);  // d > 0 here, so u is never 0
    }
}

float BlockResampler::Kernel::operator()(std::span<const double, kTaps> window, double d) const {
    Weights w;
    weights(d, w);
    return apply(window, w);
}

void BlockResampler::Kernel::weights(double d, Weights& w) const {
    if (d == 0.0)
        w = onSample_;
    else
        tapWeights(d, w);
}

float BlockResampler::Kernel::apply(std::span<const double, kTaps> window, const Weights& w) {
    return dot(window.data(), w.data());
}

template <std::size_t Channels>
void BlockResampler::Kernel::renderFrames(const std::int64_t* index, const double* fraction, std::size_t n,
                                          const double* const* inputs, float* const* outputs) const {
    Weights w;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = fraction[i];
        if (d == 0.0)
            w = onSample_;
        else
            tapWeights(d, w);
        const std::int64_t from = index[i] - kHalfWidth;
        for (std::size_t c = 0; c < Channels; ++c) outputs[c][i] = dot(inputs[c] + from, w.data());
    }
}

void BlockResampler::Kernel::render(std::span<const std::int64_t> index, std::span<const double> fraction,
                                    std::span<const double* const> inputs, std::span<float* const> outputs) const {
    const std::size_t n = std::min(index.size(), fraction.size());
    if (inputs.size() == 2 && outputs.size() == 2)
        renderFrames<2>(index.data(), fraction.data(), n, inputs.data(), outputs.data());
    else if (inputs.size() == 1 && outputs.size() == 1)
        renderFrames<1>(index.data(), fraction.data(), n, inputs.data(), outputs.data());
}

BlockResampler::BlockResampler() { initialise(kHalfWidth, 1); }

bool BlockResampler::initialise(int halfWidth, int blockLength) {
    if (halfWidth != kHalfWidth || blockLength < 1) return false;
    history_.assign(kHalfWidth, 0.0);
    stepHistory_.assign(kHalfWidth, 1.0);
    workInput_.assign(1, 0.0);
    workSteps_.assign(1, 1.0);
    const auto capacity = static_cast<std::size_t>(blockLength) + 3 * kHalfWidth;
    workInput_.reserve(capacity);
    workSteps_.reserve(capacity);
    readIndex_.assign(capacity, 0);
    readFraction_.assign(capacity, 0.0);
    count_ = 0;
    isFirst_ = false;
    isLast_ = false;
    loaded_ = false;
    fraction_ = 0.0;
    // A stream begun without first set still starts clear of the array's
    // front edge.
    start_ = kHalfWidth;
    end_ = 0;
    blockLength_ = blockLength;
    historyLength_ = kHalfWidth;
    endX_ = 0.0;
    endP_ = 0;
    leader_ = nullptr;
    return true;
}

void BlockResampler::walk() {
    // The walk is a chain: each step is the one of the frame the previous
    // step landed in. Nearly every step lands in the next frame, so that is
    // taken for granted and checked afterwards, off the chain; only the
    // exceptions pay for the conversion to a frame index.
    const double* steps = workSteps_.data();
    std::size_t capacity = readIndex_.size();
    std::int64_t* index = readIndex_.data();
    double* fraction = readFraction_.data();
    std::size_t count = 0;
    std::int64_t p = start_;
    double frame = static_cast<double>(p);
    double x = frame + fraction_;
    const std::int64_t end = end_;
    while (p <= end) {
        if (count == capacity) {
            capacity = std::max<std::size_t>(2 * capacity, 64);
            readIndex_.resize(capacity);
            readFraction_.resize(capacity);
            index = readIndex_.data();
            fraction = readFraction_.data();
        }
        index[count] = p;
        fraction[count] = x - frame;
        ++count;
        x = x + steps[p];
        if (x >= frame + 1.0 && x < frame + 2.0) {
            ++p;
            frame += 1.0;
        } else {
            p = static_cast<std::int64_t>(x);
            frame = static_cast<double>(p);
        }
    }
    count_ = count;
    endX_ = x;
    endP_ = p;
}

void BlockResampler::load(std::span<const float> ratios, std::span<const float> input, bool first, bool last,
                          bool withSteps) {
    const std::size_t n = std::min(ratios.size(), input.size());
    isFirst_ = first;
    isLast_ = last;
    if (first) {
        history_.assign(kHalfWidth, 0.0);
        stepHistory_.assign(kHalfWidth, 1.0);
        fraction_ = 0.0;
        start_ = kHalfWidth;
    }
    historyLength_ = static_cast<std::int64_t>(history_.size());
    // Every block uses its own length, so a short block in the middle of a
    // stream cannot make the walk read past the data it has.
    blockLength_ = static_cast<std::int64_t>(n);
    const std::size_t tail = last ? kHalfWidth : 0;
    end_ = last ? blockLength_ + historyLength_ - 1
                : blockLength_ + historyLength_ - kHalfWidth - 1;

    workInput_.assign(history_.begin(), history_.end());
    const std::size_t h = history_.size();
    workInput_.resize(h + n + tail, 0.0);
    double* samples = workInput_.data() + h;
    for (std::size_t j = 0; j < n; ++j) samples[j] = static_cast<double>(input[j]);
    if (!withSteps) return;
    // The walk steps 1 / ratio per output frame; the quotients are taken
    // here, off the walk's chain of dependent additions.
    workSteps_.assign(stepHistory_.begin(), stepHistory_.end());
    workSteps_.resize(h + n + tail, 1.0);
    double* steps = workSteps_.data() + h;
    for (std::size_t j = 0; j < n; ++j) steps[j] = 1.0 / static_cast<double>(usableRatioBits(ratios[j]));
}

std::size_t BlockResampler::countOutput(std::span<const float> ratios, std::span<const float> input,
                                        bool first, bool last) {
    load(ratios, input, first, last, true);
    walk();
    ++loads_;
    leader_ = nullptr;
    loaded_ = true;
    return count_;
}

std::size_t BlockResampler::countOutputAlong(const BlockResampler& leader, std::span<const float> ratios,
                                             std::span<const float> input, bool first, bool last) {
    // What the walk starts from: the carried state, or the fresh one of a
    // first block.
    const bool samePlace = first || (start_ == leader.start_ && fraction_ == leader.fraction_ &&
                                     stepHistory_ == leader.stepHistory_);
    const auto n = static_cast<std::int64_t>(std::min(ratios.size(), input.size()));
    if (&leader == this || !leader.loaded_ || leader.leader_ || leader.isFirst_ != first || leader.isLast_ != last ||
        leader.blockLength_ != n || !samePlace)
        return countOutput(ratios, input, first, last);
    load(ratios, input, first, last, false);
    count_ = leader.count_;
    endX_ = leader.endX_;
    endP_ = leader.endP_;
    ++loads_;
    leader_ = &leader;
    leaderLoad_ = leader.loads_;
    loaded_ = true;
    return count_;
}

bool BlockResampler::render(std::span<float> out) {
    const std::size_t n = count_;
    if (!loaded_ || leader_ || out.size() < n) return false;
    const double* input = workInput_.data();
    float* frames = out.data();
    kernel_.render({readIndex_.data(), n}, {readFraction_.data(), n}, {&input, 1}, {&frames, 1});
    carryOver(workSteps_);
    loaded_ = false;
    return true;
}

std::span<const float> BlockResampler::render() {
    if (!loaded_ || leader_) return {};
    const std::size_t n = count_;
    if (output_.size() < n) output_.resize(n);
    render(std::span<float>(output_.data(), n));
    return {output_.data(), n};
}

bool BlockResampler::sameWalk(const BlockResampler& other) const {
    return start_ == other.start_ && end_ == other.end_ && fraction_ == other.fraction_ &&
           workSteps_ == other.workSteps_ && workInput_.size() == other.workInput_.size();
}

bool BlockResampler::renderBoth(BlockResampler& a, BlockResampler& b, std::span<const float>& outA,
                                std::span<const float>& outB) {
    if (!a.loaded_ || !b.loaded_ || a.leader_) return false;
    const bool follows = b.leader_ != nullptr;
    if (follows ? b.leader_ != &a || b.leaderLoad_ != a.loads_ : !a.sameWalk(b)) return false;
    const std::size_t n = a.count_;
    if (a.output_.size() < n) a.output_.resize(n);
    if (b.output_.size() < n) b.output_.resize(n);
    const double* inputs[2] = {a.workInput_.data(), b.workInput_.data()};
    float* frames[2] = {a.output_.data(), b.output_.data()};
    a.kernel_.render({a.readIndex_.data(), n}, {a.readFraction_.data(), n}, inputs, frames);
    a.carryOver(a.workSteps_);
    b.carryOver(follows ? a.workSteps_ : b.workSteps_);
    a.loaded_ = false;
    b.loaded_ = false;
    b.leader_ = nullptr;
    outA = {a.output_.data(), n};
    outB = {b.output_.data(), n};
    return true;
}

void BlockResampler::carryOver(const std::vector<double>& steps) {
    fraction_ = endX_ - static_cast<double>(endP_);
    const std::int64_t dataLength = blockLength_ + historyLength_;
    if (dataLength < endP_ - kHalfWidth + 1) {
        // The next window starts beyond this block: nothing to carry, only
        // the distance still to skip.
        history_.clear();
        stepHistory_.clear();
        start_ = endP_ - dataLength;
        return;
    }
    const auto from = static_cast<std::ptrdiff_t>(endP_ - kHalfWidth);
    const auto to = static_cast<std::ptrdiff_t>(dataLength);
    history_.assign(workInput_.begin() + from, workInput_.begin() + to);
    stepHistory_.assign(steps.begin() + from, steps.begin() + to);
    start_ = kHalfWidth;
}
