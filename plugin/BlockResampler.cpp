#include "plugin/BlockResampler.h"

#include <algorithm>
#include <cmath>

namespace {

// Ten decimals on purpose: the kernel's figures (and the flat-curve gain)
// depend on this exact value, in the sinc and in the window alike.
constexpr double kPi = 3.1415926535;
constexpr int kHalf = BlockResampler::kHalfWidth;

}  // namespace

double BlockResampler::usableRatio(float ratio) {
    const double r = ratio;
    if (!(r > 0.0) || !std::isfinite(r)) return 1.0;
    return std::clamp(r, kMinRatio, kMaxRatio);
}

BlockResampler::Kernel::Kernel() {
    for (int j = -kHalf - 1; j <= kHalf; ++j) {
        const double angle = static_cast<double>(j) * kPi;
        sinStep_[j + kHalf + 1] = std::sin(angle);
        cosStep_[j + kHalf + 1] = std::cos(angle);
    }
    for (int t = 0; t < kTaps; ++t) {
        // The window's angle at d = 0, written as the window formula has it.
        const double angle = 2.0 * kPi * static_cast<double>(kHalf - (t - kHalf)) / 17.0;
        sinHann_[t] = std::sin(angle);
        cosHann_[t] = std::cos(angle);
        // At d = 0 the weights are these constants; the centre tap's sinc
        // is 1 by definition (its angle is 0).
        const double u = static_cast<double>(kHalf - t) * kPi;
        sincOnSample_[t] = t == kHalf ? 1.0 : std::sin(u) / u;
        hannOnSample_[t] = (1.0 - cosHann_[t]) / 2.0;
    }
}

float BlockResampler::Kernel::operator()(std::span<const double, kTaps> window, double d) const {
    if (d == 0.0) return onSample(window);
    Weights w;
    weights(d, w);
    return apply(window, w);
}

void BlockResampler::Kernel::weights(double d, Weights& w) const {
    if (d == 0.0) {
        w.sinc = sincOnSample_;
        w.hann = hannOnSample_;
        return;
    }
    // The sinc's angle, (d - s) pi, is taken relative to the tap nearest the
    // read position: that tap gets the sine exactly as the plain formula
    // does, and the others stay far from zero, where angle addition loses
    // nothing that a float can hold.
    const int k = d < 0.5 ? 0 : 1;
    const double base = (d - k) * kPi;
    const double sinBase = std::sin(base);
    const double cosBase = std::cos(base);
    const double hannBase = 2.0 * kPi * d / 17.0;
    const double sinHannBase = std::sin(hannBase);
    const double cosHannBase = std::cos(hannBase);

    for (int t = 0; t < kTaps; ++t) {
        const int s = t - kHalf;
        const int step = s - k + kHalf + 1;
        const double u = (d - s) * kPi;
        const double sinU = sinBase * cosStep_[step] - cosBase * sinStep_[step];
        w.sinc[t] = sinU / u;  // d > 0 here, so u is never 0
        const double cosV = cosHannBase * cosHann_[t] - sinHannBase * sinHann_[t];
        w.hann[t] = (1.0 - cosV) / 2.0;
    }
}

float BlockResampler::Kernel::onSample(std::span<const double, kTaps> window) const {
    return weightedSum(window, sincOnSample_, hannOnSample_);
}

float BlockResampler::Kernel::weightedSum(std::span<const double, kTaps> window,
                                          const std::array<double, kTaps>& sinc,
                                          const std::array<double, kTaps>& hann) {
    // Summed in tap order, each term as sample x sinc x window.
    double sum = 0.0;
    for (int t = 0; t < kTaps; ++t) sum += window[t] * sinc[t] * hann[t];
    return static_cast<float>(sum);
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
    count_ = 0;
    return true;
}

template <class Visit>
BlockResampler::WalkEnd BlockResampler::walk(Visit&& visit) const {
    double x = static_cast<double>(start_) + fraction_;
    std::int64_t p = start_;
    while (p <= end_) {
        visit(p, x);
        x = x + workSteps_[static_cast<std::size_t>(p)];
        p = static_cast<std::int64_t>(x);
    }
    return {x, p};
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
    for (std::size_t j = 0; j < n; ++j) {
        workInput_[h + j] = static_cast<double>(input[j]);
        workSteps_[h + j] = 1.0 / usableRatio(ratios[j]);
    }

    count_ = 0;
    walk([this](std::int64_t, double) { ++count_; });
    loaded_ = true;
    return count_;
}

bool BlockResampler::render(std::span<float> out) {
    if (!loaded_ || out.size() < count_) return false;
    std::size_t i = 0;
    const WalkEnd at = walk([&](std::int64_t p, double x) {
        const std::span<const double, kTaps> window(
            workInput_.data() + (p - kHalfWidth), static_cast<std::size_t>(kTaps));
        out[i++] = kernel_(window, x - static_cast<double>(p));
    });
    carryOver(at);
    loaded_ = false;
    return true;
}

std::span<const float> BlockResampler::render() {
    if (!loaded_) return {};
    if (output_.size() < count_) output_.resize(count_);
    const std::size_t n = count_;
    render(std::span<float>(output_.data(), n));
    return {output_.data(), n};
}

bool BlockResampler::renderBoth(BlockResampler& a, BlockResampler& b, std::span<const float>& outA,
                                std::span<const float>& outB) {
    if (!a.loaded_ || !b.loaded_ || a.count_ != b.count_ || a.start_ != b.start_ || a.end_ != b.end_ ||
        a.fraction_ != b.fraction_ || a.workSteps_ != b.workSteps_ || a.workInput_.size() != b.workInput_.size())
        return false;
    const std::size_t n = a.count_;
    if (a.output_.size() < n) a.output_.resize(n);
    if (b.output_.size() < n) b.output_.resize(n);
    std::size_t i = 0;
    Kernel::Weights w;
    const WalkEnd at = a.walk([&](std::int64_t p, double x) {
        a.kernel_.weights(x - static_cast<double>(p), w);
        const auto from = static_cast<std::size_t>(p - kHalfWidth);
        a.output_[i] = Kernel::apply(std::span<const double, kTaps>(a.workInput_.data() + from, kTaps), w);
        b.output_[i] = Kernel::apply(std::span<const double, kTaps>(b.workInput_.data() + from, kTaps), w);
        ++i;
    });
    a.carryOver(at);
    b.carryOver(at);
    a.loaded_ = false;
    b.loaded_ = false;
    outA = {a.output_.data(), n};
    outB = {b.output_.data(), n};
    return true;
}

void BlockResampler::carryOver(const WalkEnd& at) {
    fraction_ = at.x - static_cast<double>(at.p);
    const std::int64_t dataLength = blockLength_ + historyLength_;
    if (dataLength < at.p - kHalfWidth + 1) {
        // The next window starts beyond this block: nothing to carry, only
        // the distance still to skip.
        history_.clear();
        stepHistory_.clear();
        start_ = at.p - dataLength;
        return;
    }
    const auto from = static_cast<std::ptrdiff_t>(at.p - kHalfWidth);
    const auto to = static_cast<std::ptrdiff_t>(dataLength);
    history_.assign(workInput_.begin() + from, workInput_.begin() + to);
    stepHistory_.assign(workSteps_.begin() + from, workSteps_.begin() + to);
    start_ = kHalfWidth;
}
