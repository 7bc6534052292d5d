// What a zoom rectangle drag means: the outline drawn while dragging and
// what its release zooms. Plain numbers in and out, so the decisions are
// checked natively; the window code draws and applies them.
#pragma once

#include <cstdint>

namespace editor {

// The zoom boxes and the smallest spans the analyser resolves.
struct ZoomSettings {
  bool zoomTime = true;
  bool zoomFrequency = true;
  std::int64_t minimumTimeSpan = 0;  // samples
  float minimumFrequencySpan = 0.0f;  // Hz
};

enum class OutlineKind { None, ZoomOutPreview, Horizontal, Vertical, Rectangle };

// The outline for a drag of d samples (negative: leftward) over df Hz
// (truncated). Red edges (valid) promise that the release zooms that axis.
struct ZoomOutline {
  OutlineKind kind = OutlineKind::None;
  bool timeValid = false;
  bool frequencyValid = false;
};
ZoomOutline zoomOutline(std::int64_t d, int df, const ZoomSettings& settings);

enum class ZoomRelease { Nothing, TimeZoomed, FrequencyZoomed, Unchanged, ZoomOutToEverything };

// The release after a drag of d samples whose rows are frequencySpan Hz
// apart. TimeZoomed may come with the frequency zoomed too (frequencyToo).
struct ZoomReleaseResult {
  ZoomRelease what = ZoomRelease::Nothing;
  bool frequencyToo = false;
};
ZoomReleaseResult zoomRelease(std::int64_t d, float frequencySpan, const ZoomSettings& settings);

}  // namespace editor
