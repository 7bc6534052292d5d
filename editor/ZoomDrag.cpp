#include "editor/ZoomDrag.h"

#include <cmath>

namespace editor {

ZoomOutline zoomOutline(std::int64_t d, int df, const ZoomSettings& s) {
  ZoomOutline o;
  if (d < 0) {
    o.kind = OutlineKind::ZoomOutPreview;
    return o;
  }
  o.timeValid = s.minimumTimeSpan < d;
  o.frequencyValid = s.minimumFrequencySpan < static_cast<float>(df);
  if (s.zoomTime && s.zoomFrequency)
    o.kind = OutlineKind::Rectangle;
  else if (s.zoomTime)
    o.kind = OutlineKind::Vertical;
  else if (s.zoomFrequency)
    o.kind = OutlineKind::Horizontal;
  if (!s.zoomTime) o.timeValid = false;
  if (!s.zoomFrequency) o.frequencyValid = false;
  return o;
}

ZoomReleaseResult zoomRelease(std::int64_t d, float frequencySpan, const ZoomSettings& s) {
  ZoomReleaseResult r;
  if (d < 0) {
    r.what = ZoomRelease::ZoomOutToEverything;
    return r;
  }
  if (d == 0) return r;
  const bool frequency = s.zoomFrequency && std::fabs(frequencySpan) > s.minimumFrequencySpan;
  const bool time = s.zoomTime && s.minimumTimeSpan < d;
  if (time) {
    r.what = ZoomRelease::TimeZoomed;
    r.frequencyToo = frequency;
  } else {
    r.what = frequency ? ZoomRelease::FrequencyZoomed : ZoomRelease::Unchanged;
  }
  return r;
}

}  // namespace editor
