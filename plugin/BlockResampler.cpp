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

}  // namespace

double BlockResampler::usableRatio(float ratio) {
    const double r = ratio;
    if (!(r > 0.0) || !std::isfinite(r)) return 1.0;
    return std::clamp(r, kMinRatio, kMaxRatio);
}

BlockResampler::Kernel::Kernel() {
    for (int k = 0; k < 2; ++k)
        for (int t = 0; t < kTaps; ++t) {
            const double angle = static_cast<double>(t - kHalf - k) * kPi;
            sinStep_[k][t] = std::sin(angle);
            cosStep_[k][t] = std::cos(angle);
        }
    for (int t = 0; t < kTaps; ++t) {
        offset_[t] = t - kHalf;
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
        const double sincAngle = static_cast<double>(j - kSteps / 2) * kPi / kSteps;
        sincTable_[j] = {std::sin(sincAngle), std::cos(sincAngle)};
        const double hannAngle = 2.0 * kPi * static_cast<double>(j) / (17.0 * kSteps);
        hannTable_[j] = {std::sin(hannAngle), std::cos(hannAngle)};
    }
}

float BlockResampler::Kernel::operator()(std::span<const double, kTaps> window, double d) const {
    Weights w;
    weights(d, w);
    return apply(window, w);
}

void BlockResampler::Kernel::weights(double d, Weights& w) const {
    if (d == 0.0) {
        w = onSample_;
        return;
    }
    // The sinc's angle, (d - s) pi, is taken relative to the tap nearest the
    // read position: that tap's sine keeps its full precision, and the
    // others stay far from zero, where angle addition loses nothing that a
    // float can hold.
    const int k = d < 0.5 ? 0 : 1;
    // Both angles from the nearest table entry and the exact remainder past
    // it: sin and cos of (d - k) pi, and of the window's 2 pi d / 17.
    const int j = static_cast<int>(d * kSteps + 0.5);
    const double r = d - static_cast<double>(j) / kSteps;
    const double y = r * kPi;
    const double sinY = shortSin(y), cosY = shortCos(y);
    const Angle& a = sincTable_[j - k * kSteps + kSteps / 2];
    const Angle base{a.sin * cosY + a.cos * sinY, a.cos * cosY - a.sin * sinY};
    const double z = r * kHannScale;
    const double sinZ = shortSin(z), cosZ = shortCos(z);
    const Angle& b = hannTable_[j];
    const Angle hann{b.sin * cosZ + b.cos * sinZ, b.cos * cosZ - b.sin * sinZ};
    const auto& sinStep = sinStep_[k];
    const auto& cosStep = cosStep_[k];
    Weights out;
    for (int t = 0; t < kTaps; ++t) {
        const double u = (d - offset_[t]) * kPi;
        const double sinU = base.sin * cosStep[t] - base.cos * sinStep[t];
        const double halfCos = hann.cos * cosHann_[t] - hann.sin * sinHann_[t];
        out[t] = sinU / u * (0.5 - halfCos);  // d > 0 here, so u is never 0
    }
    w = out;
}

float BlockResampler::Kernel::apply(std::span<const double, kTaps> window, const Weights& w) {
    // Two running sums, odd and even taps, to halve the chain of additions.
    double even = window[0] * w[0];
    double odd = window[1] * w[1];
    for (int t = 2; t < kTaps - 1; t += 2) {
        even += window[t] * w[t];
        odd += window[t + 1] * w[t + 1];
    }
    even += window[kTaps - 1] * w[kTaps - 1];
    return static_cast<float>(even + odd);
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

std::size_t BlockResampler::countOutput(std::span<const float> ratios, std::span<const float> input,
                                        bool first, bool last) {
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

    // The walk steps 1 / ratio per output frame; the quotients are taken
    // here, off the walk's chain of dependent additions.
    workInput_.assign(history_.begin(), history_.end());
    workSteps_.assign(stepHistory_.begin(), stepHistory_.end());
    const std::size_t h = history_.size();
    workInput_.resize(h + n + tail, 0.0);
    workSteps_.resize(h + n + tail, 1.0);
    double* samples = workInput_.data() + h;
    double* steps = workSteps_.data() + h;
    for (std::size_t j = 0; j < n; ++j) samples[j] = static_cast<double>(input[j]);
    for (std::size_t j = 0; j < n; ++j) steps[j] = 1.0 / static_cast<double>(usableRatioBits(ratios[j]));

    walk();
    loaded_ = true;
    return count_;
}

bool BlockResampler::render(std::span<float> out) {
    const std::size_t n = count_;
    if (!loaded_ || out.size() < n) return false;
    Kernel::Weights w;
    for (std::size_t i = 0; i < n; ++i) {
        kernel_.weights(readFraction_[i], w);
        const double* window = workInput_.data() + (readIndex_[i] - kHalfWidth);
        out[i] = Kernel::apply(std::span<const double, kTaps>(window, kTaps), w);
    }
    carryOver();
    loaded_ = false;
    return true;
}

std::span<const float> BlockResampler::render() {
    if (!loaded_) return {};
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
    if (!a.loaded_ || !b.loaded_ || !a.sameWalk(b)) return false;
    const std::size_t n = a.count_;
    if (a.output_.size() < n) a.output_.resize(n);
    if (b.output_.size() < n) b.output_.resize(n);
    Kernel::Weights w;
    for (std::size_t i = 0; i < n; ++i) {
        a.kernel_.weights(a.readFraction_[i], w);
        const auto from = static_cast<std::size_t>(a.readIndex_[i] - kHalfWidth);
        a.output_[i] = Kernel::apply(std::span<const double, kTaps>(a.workInput_.data() + from, kTaps), w);
        b.output_[i] = Kernel::apply(std::span<const double, kTaps>(b.workInput_.data() + from, kTaps), w);
    }
    a.carryOver();
    b.carryOver();
    a.loaded_ = false;
    b.loaded_ = false;
    outA = {a.output_.data(), n};
    outB = {b.output_.data(), n};
    return true;
}

void BlockResampler::carryOver() {
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
    stepHistory_.assign(workSteps_.begin() + from, workSteps_.begin() + to);
    start_ = kHalfWidth;
}
