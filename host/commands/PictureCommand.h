// The "show" command: the plug-in's editor in a window, a click on its
// splash picture as a person's click arrives, the reading pass drawn (then,
// on request, the zoom of clicks on the time zoom-in button, or of a drag of
// the zoom tool over a range), and the editor window saved as a 24-bit BMP.
#pragma once

#include <iosfwd>
#include <string>

namespace host {

class InteractiveSession;

struct PictureRequest {
  std::string picture;         // the BMP to write
  bool clickSplash = true;     // false: the picture of the splash as the editor first shows it
  // Clicks on the editor's time zoom-in button ("+"), each halving the time
  // shown around its centre; 0 for none.
  int zoomInClicks = 0;
  bool hasRange = false;
  double rangeStart = 0.0;     // seconds
  double rangeEnd = 0.0;
  unsigned timeoutMs = 600000; // for each pass to draw
  // A drag the editor's zoom tool takes up starts a pass at once; none after
  // this long means it did not.
  unsigned zoomAnswerMs = 15000;
};

// What the command saw, for a log and for tests.
struct PictureReport {
  double readingSeconds = -1.0;  // from the click to the end of the passes it started
  double zoomSeconds = -1.0;
  std::string shownFrom;         // the editor's time labels at the picture
  std::string shownTo;
  int width = 0;
  int height = 0;
};

// The session must have its file and its window open. Returns an exit code.
int takePicture(InteractiveSession& session, const PictureRequest& request, PictureReport& report,
                std::ostream& out, std::ostream& err);

}  // namespace host
