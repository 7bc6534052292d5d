#include "host/commands/WowMeasure.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "host/audio/AudioFiles.h"
#include "host/audio/AudioStore.h"

namespace host {

namespace {

constexpr std::size_t kBlock = 65536;

}  // namespace

std::optional<partials::Result> estimateWow(AudioStore& store, const partials::Options& options, MeasureSpan span,
                                            const MeasureProgress& progress, std::string& problem) {
  const int channels = store.channelCount();
  const std::uint64_t last = span.last == 0 ? store.frames() : std::min(span.last, store.frames());
  if (channels < 1 || span.first >= last) {
    problem = "there is no audio to measure";
    return std::nullopt;
  }
  partials::Estimator estimator(store.sampleRate(), channels, options);
  std::vector<std::vector<float>> planes(static_cast<std::size_t>(channels), std::vector<float>(kBlock));
  std::vector<float*> pointers;
  for (auto& plane : planes) pointers.push_back(plane.data());
  std::vector<float> interleaved(kBlock * static_cast<std::size_t>(channels));
  const double total = static_cast<double>(last - span.first);
  for (std::uint64_t at = span.first; at < last;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, last - at));
    if (!store.read(at, n, pointers.data())) {
      problem = "cannot read the audio at frame " + std::to_string(at) + ": " + store.problem();
      return std::nullopt;
    }
    for (std::size_t i = 0; i < n; ++i)
      for (int c = 0; c < channels; ++c) interleaved[i * channels + c] = planes[c][i];
    estimator.feed(interleaved.data(), n);
    at += n;
    if (progress) progress(static_cast<double>(at - span.first) / total);
  }
  partials::Result result = estimator.finish();
  for (partials::CurvePoint& point : result.curve) point.position += static_cast<std::int64_t>(span.first);
  return result;
}

std::optional<partials::Result> estimateWow(const std::string& wavPath, const partials::Options& options,
                                            const MeasureProgress& progress, std::string& problem) {
  WavReadResult opened;
  std::unique_ptr<AudioStore> store = openWavStore(wavPath, true, opened);
  if (!store) {
    problem = opened.message;
    return std::nullopt;
  }
  return estimateWow(*store, options, {}, progress, problem);
}

std::vector<PvcPoint> curvePoints(const partials::Result& result) {
  std::vector<PvcPoint> points;
  points.reserve(result.curve.size());
  for (const partials::CurvePoint& p : result.curve) {
    if (p.position < 0 || p.position > std::numeric_limits<std::int32_t>::max()) continue;
    const auto position = static_cast<std::int32_t>(p.position);
    if (!points.empty() && position <= points.back().position) continue;
    PvcPoint point;
    point.position = position;
    point.ratio = static_cast<float>(p.ratio);
    points.push_back(point);
  }
  return points;
}

bool hasFigure(const partials::Result& result) {
  return result.wow.points > 0 && result.trustedShare >= kMinTrustedShare;
}

std::string describeWow(const partials::Result& result) {
  char text[200];
  if (!hasFigure(result)) {
    std::snprintf(text, sizeof text,
                  "no figure (%.0f %% of the file trusted: too little sustained tonal sound to read the speed from)",
                  result.trustedShare * 100.0);
  } else {
    std::snprintf(text, sizeof text, "%.3f %% RMS, %.3f %% peak (from the partials, %.0f %% of the file trusted)",
                  result.wow.rmsPercent, result.wow.peakPercent, result.trustedShare * 100.0);
  }
  return text;
}

std::optional<bool> lessWow(const partials::Result& before, const partials::Result& after) {
  if (!hasFigure(before) || !hasFigure(after)) return std::nullopt;
  return after.wow.rmsPercent < before.wow.rmsPercent - kWowResolutionPercent;
}

}  // namespace host
