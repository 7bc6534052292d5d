#include "host/commands/DewowCommand.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "curve/CurvePlausibility.h"
#include "curve/CurveShaping.h"
#include "curve/CurveText.h"
#include "editor/ColourTable.h"
#include "editor/ControlIds.h"
#include "host/audio/AudioFiles.h"
#include "host/audio/AudioStore.h"
#include "host/audio/DiskFile.h"
#include "host/commands/Correction.h"
#include "host/commands/DewowArguments.h"
#include "host/commands/FiguresFile.h"
#include "host/commands/InteractiveSession.h"
#include "host/commands/OutputCheck.h"
#include "host/commands/ShapeArguments.h"
#include "host/commands/WowMeasure.h"
#include "host/commands/WowReport.h"
#include "host/window/EditorSteps.h"
#include "host/window/PluginNames.h"
#include "host/window/WindowPicture.h"

namespace host {

namespace {
constexpr unsigned kAnswerMs = 15000;
constexpr unsigned kQuietMs = 10000;
constexpr unsigned kSettleMs = 300;
constexpr int kDragStep = 6;
constexpr int kMaxBarSteps = 2000;

// A detector's pane: its parameter names, bars and read-outs, side by side.
struct Pane {
  const char* name;
  std::vector<int> names;
  std::vector<int> bars;
  std::vector<int> readouts;
};

template <int Count>
Pane paneNamed(const char* name, const editor::PaneIds<Count>& ids) {
  return {name, {ids.names.begin(), ids.names.end()}, {ids.bars.begin(), ids.bars.end()},
          {ids.readouts.begin(), ids.readouts.end()}};
}

const Pane kHumPane = paneNamed("hum", editor::kHumPaneIds);
const Pane kPilotPane = paneNamed("pilot tone", editor::kPilotPaneIds);
const Pane kSpectralPane = paneNamed("spectral detector", editor::kSpectralPaneIds);

const Pane* paneOf(Algorithm algorithm) {
  switch (algorithm) {
    case Algorithm::Hum:
      return &kHumPane;
    case Algorithm::Pilot:
      return &kPilotPane;
    case Algorithm::Spectral:
      return &kSpectralPane;
    case Algorithm::CentreOfGravity:
    case Algorithm::Partials:
      return nullptr;
  }
  return nullptr;
}

std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// The name part of a parameter text: the first line, without the label.
std::string parameterName(const std::string& text) {
  std::string name = text.substr(0, text.find_first_of("\r\n["));
  while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back()))) name.pop_back();
  return name;
}

bool readNumber(const std::string& text, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end != text.c_str() && std::isfinite(value);
}

bool sameShown(double shown, double wanted) {
  return std::fabs(shown - wanted) <= 1e-9 * std::max(1.0, std::fabs(wanted));
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

class Run : public EditorSteps {
 public:
  Run(InteractiveSession& session, const DewowArguments& arguments, std::ostream& out, std::vector<std::string>& steps)
      : EditorSteps(session, out, static_cast<unsigned>(arguments.timeoutSeconds * 1000.0)),
        arguments_(arguments),
        steps_(steps) {}

  // Each step returns false with problem() saying what failed.
  bool chooseAlgorithm();
  bool setParameter(const std::string& name, double value);
  bool findCurve();
  // Reads back the curve the editor exported and refuses one that cannot be
  // wow, unless forced: it would make the file worse than it came.
  bool checkCurve(const std::string& file);
  // Shapes the exported curve as asked, saves it over the export and hands
  // it back to the editor through "Import PVC" from the import file.
  bool shapeCurve(const std::string& file, const std::string& import);
  // The spectral detector's frame length when none is asked for: the
  // shortest whose bins, fs / 8N apart, are within 0.1 % of the band's
  // lowest frequency, and the longest it offers where none is.
  int spectralLength() const;

 private:
  bool createCurve();
  bool dragRange();
  bool dragAlongLine();
  bool zoomToBand();
  int shownResolution() const;

  const DewowArguments& arguments_;
  std::vector<std::string>& steps_;  // what was done, for the reports
  std::pair<double, double> traced_{0.0, 0.0};  // the stretch the centre of gravity drag covered, in seconds
};

bool Run::chooseAlgorithm() {
  const std::string item = algorithmItemText(arguments_.algorithm);
  const std::string step = "choosing \"" + item + "\" in the algorithm list";
  if (!driver_.chooseListItem(editor::kAlgorithmList, item, problem_)) return fail(step, problem_);
  driver_.settle(kSettleMs);
  if (!driver_.quiet(kQuietMs)) return fail(step, "the plug-in did not settle");
  if (!noBoxes(step)) return false;
  const std::string message = driver_.shown(editor::kMessageArea) ? driver_.text(editor::kMessageArea) : std::string();
  if (arguments_.algorithm == Algorithm::CentreOfGravity) {
    if (message.rfind("The Centre of Gravity method is active", 0) != 0)
      return fail(step, message.empty() ? "the editor did not say that the centre of gravity method is active"
                                        : "the editor said \"" + message + "\"");
    return true;
  }
  const Pane* pane = paneOf(arguments_.algorithm);
  if (!driver_.shown(pane->bars.front()))
    return fail(step, message.empty() ? std::string("the editor showed no ") + pane->name + " pane"
                                      : "the editor said \"" + message + "\"");
  out_ << "algorithm: " << item << '\n';
  return true;
}

bool Run::setParameter(const std::string& name, double value) {
  const std::string step = "setting " + name + " to " + number(value);
  const Pane* pane = paneOf(arguments_.algorithm);
  if (!pane) return fail(step, "the centre of gravity method has no parameters to set");
  std::size_t index = pane->names.size();
  std::string known;
  for (std::size_t i = 0; i < pane->names.size(); ++i) {
    if (!driver_.shown(pane->bars[i])) continue;
    const std::string shownName = parameterName(driver_.text(pane->names[i]));
    known += (known.empty() ? "" : ", ") + ("\"" + shownName + "\"");
    if (lowered(shownName) == lowered(name)) index = i;
  }
  if (index == pane->names.size())
    return fail(step, std::string("the ") + pane->name + " pane shows no parameter of that name (it shows " + known + ")");
  const int bar = pane->bars[index];
  const int readout = pane->readouts[index];
  double shown = 0.0;
  if (!readNumber(driver_.text(readout), shown))
    return fail(step, "its read-out shows no number (\"" + driver_.text(readout) + "\")");
  if (sameShown(shown, value)) return true;
  // Values rise towards the top of a bar, as the editor reads them; a read-out
  // going the other way turns the walk round once.
  bool up = value > shown;
  bool turned = false;
  double nearest = shown;
  for (int steps = 0; steps < kMaxBarSteps; ++steps) {
    const int position = driver_.barPosition(bar);
    driver_.stepBar(bar, up);
    double now = 0.0;
    if (!readNumber(driver_.text(readout), now)) return fail(step, "its read-out shows no number");
    if (sameShown(now, value)) {
      out_ << "parameter " << name << ": " << driver_.text(readout) << '\n';
      return noBoxes(step);
    }
    if (std::fabs(now - value) < std::fabs(nearest - value)) nearest = now;
    const bool stuck = driver_.barPosition(bar) == position;
    const bool passed = up == (value > shown) ? (value > shown ? now > value : now < value) : false;
    const bool wrongWay = std::fabs(now - value) > std::fabs(shown - value) && now != shown;
    if (stuck || passed || wrongWay) {
      if (turned || passed) break;
      turned = true;
      up = !up;
    }
    shown = now;
  }
  return fail(step, "its bar never made the read-out show " + number(value) + " (nearest shown: " +
                        number(nearest) + ")");
}

bool Run::createCurve() {
  const std::string step = "\"Create PVC\"";
  const std::size_t before = driver_.passCount();
  const std::string said = driver_.shown(editor::kMessageArea) ? driver_.text(editor::kMessageArea) : std::string();
  if (!driver_.pressButton(editor::kCreatePvc, problem_)) return fail(step, problem_);
  const ULONGLONG start = GetTickCount64();
  if (arguments_.algorithm == Algorithm::Spectral) {
    // The spectral curve is built at once; only a redraw follows. A curve
    // made of nothing is told in the message area.
    driver_.settle(kSettleMs);
    if (!driver_.quiet(passTimeoutMs())) return fail(step, "the plug-in did not settle");
    const std::string now = driver_.shown(editor::kMessageArea) ? driver_.text(editor::kMessageArea) : std::string();
    if (!now.empty() && now != said) return fail(step, "the editor said \"" + now + "\"");
  } else if (!driver_.waitForPasses(before, kAnswerMs, "\"Create PVC\"", problem_)) {
    return fail(step, problem_);
  }
  report("curve made (\"Create PVC\")", secondsSince(start));
  return noBoxes(step);
}

bool Run::dragRange() {
  const std::string step = "the drag over the processing range";
  const auto mapping = driver_.mapping(problem_);
  if (!mapping) return fail(step, problem_);
  const HostFile& file = session_.host().file(session_.host().currentFile());
  const double length = static_cast<double>(file.audio->frames()) / file.audio->sampleRate();
  const double from = arguments_.hasRange ? arguments_.rangeStart : 0.0;
  const double to = arguments_.hasRange ? arguments_.rangeEnd : length;
  if (to > length + 1e-9) return fail(step, "the range ends after the file's " + number(length) + " s");
  if (arguments_.upperHz > mapping->upperHz || arguments_.lowerHz < mapping->lowerHz)
    return fail(step, "the band lies outside the " + number(mapping->lowerHz) + " to " + number(mapping->upperHz) +
                          " Hz the display shows");
  const int x1 = mapping->columnOf(from);
  const int x2 = mapping->columnOf(to);
  const int y1 = mapping->rowOf(arguments_.upperHz);
  const int y2 = mapping->rowOf(arguments_.lowerHz);
  out_ << "range drag: x " << x1 << ".." << x2 << ", y " << y1 << ".." << y2 << " (" << number(from) << " to "
       << number(to) << " s, " << number(arguments_.upperHz) << " to " << number(arguments_.lowerHz) << " Hz)\n";
  std::vector<POINT> path;
  for (int x = x1; x < x2; x += kDragStep) path.push_back({x, y1 + (y2 - y1) * (x - x1) / std::max(1, x2 - x1)});
  path.push_back({x2, y2});
  driver_.dragDisplay(path);
  driver_.settle(kSettleMs);
  if (!noBoxes(step)) return false;
  const std::string previewStep = "\"Preview\"";
  const std::size_t before = driver_.passCount();
  const ULONGLONG start = GetTickCount64();
  if (!driver_.pressButton(editor::kPreview, problem_)) return fail(previewStep, problem_);
  if (!driver_.waitForPasses(before, kAnswerMs, "\"Preview\"", problem_)) {
    const std::string said = driver_.boxesShown();
    return fail(previewStep, said.empty() ? problem_ : "the editor showed a box: " + said);
  }
  report("spectral detection (\"Preview\")", secondsSince(start));
  return noBoxes(previewStep);
}

// The band fills the display before the line is traced: rows as fine as
// the band needs, so the drag starts on the line and not beside it. The
// editor's zoom tool with only "Zoom Frequency" on, a drag over the band,
// and a right click back to the algorithm.
bool Run::zoomToBand() {
  const std::string step = "zooming the display to the band";
  const auto mapping = driver_.mapping(problem_);
  if (!mapping) return fail(step, problem_);
  if (arguments_.upperHz > mapping->upperHz || arguments_.lowerHz < mapping->lowerHz)
    return fail(step, "the band lies outside the " + number(mapping->lowerHz) + " to " + number(mapping->upperHz) +
                          " Hz the display shows");
  if (!driver_.pressButton(editor::kZoom, problem_)) return fail(step, problem_);
  driver_.settle(kSettleMs);
  if (!driver_.quiet(kQuietMs)) return fail(step, "the plug-in did not settle after \"Zoom\"");
  HWND zoomTime = driver_.control(editor::kZoomTime);
  if (!zoomTime || !driver_.shown(editor::kZoomTime)) return fail(step, "the editor shows no \"Zoom Time\" box");
  if (SendMessageA(zoomTime, BM_GETCHECK, 0, 0) == BST_CHECKED) PostMessageA(zoomTime, BM_CLICK, 0, 0);
  HWND zoomFrequency = driver_.control(editor::kZoomFrequency);
  if (zoomFrequency && SendMessageA(zoomFrequency, BM_GETCHECK, 0, 0) != BST_CHECKED)
    PostMessageA(zoomFrequency, BM_CLICK, 0, 0);
  driver_.settle(kSettleMs);
  // The finest resolution the editor offers, so that the line is narrow.
  if (driver_.shown(editor::kResolutionList)) {
    if (!driver_.chooseListItem(editor::kResolutionList, "4096", problem_)) return fail(step, problem_);
    driver_.settle(kSettleMs);
    if (!driver_.pressButton(editor::kUpdate, problem_)) return fail(step, problem_);
    driver_.settle(kSettleMs);
    if (!driver_.quiet(passTimeoutMs()))
      return fail(step, "the redraw after \"Update\" did not end");
  }
  // A row more on either side: the rows are coarse before the zoom, and the
  // band must lie inside the zoomed display.
  const int y1 = std::max(0, mapping->rowOf(arguments_.upperHz) - 1);
  const int y2 = std::min(mapping->rows, mapping->rowOf(arguments_.lowerHz) + 1);
  std::vector<POINT> path;
  for (int x = 0; x < mapping->columns - 1; x += kDragStep) path.push_back({x, y1 + (y2 - y1) * x / mapping->columns});
  path.push_back({mapping->columns - 1, y2});
  driver_.dragDisplay(path);
  driver_.settle(kSettleMs);
  if (!driver_.quiet(passTimeoutMs()))
    return fail(step, "the plug-in did not settle after the zoom");
  driver_.rightClickDisplay(mapping->columns / 2, (y1 + y2) / 2);
  driver_.settle(kSettleMs);
  if (!driver_.quiet(kQuietMs)) return fail(step, "the plug-in did not settle after the right click");
  const auto zoomed = driver_.mapping(problem_);
  if (!zoomed) return fail(step, problem_);
  out_ << "display zoomed to " << number(zoomed->lowerHz) << " to " << number(zoomed->upperHz) << " Hz\n";
  return noBoxes(step);
}

// The frame length the "Resolution" list shows; the longest it offers when
// it shows none.
int Run::shownResolution() const {
  constexpr int kLongest = 4096;
  HWND list = driver_.control(editor::kResolutionList);
  if (!list) return kLongest;
  const LRESULT item = SendMessageA(list, CB_GETCURSEL, 0, 0);
  if (item == CB_ERR || SendMessageA(list, CB_GETLBTEXTLEN, item, 0) >= 32) return kLongest;
  char text[32] = {};
  SendMessageA(list, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text));
  const int length = std::atoi(text);
  return length >= 2 ? length : kLongest;
}

bool Run::dragAlongLine() {
  if (!zoomToBand()) return false;
  const std::string step = "the centre of gravity drag";
  const auto mapping = driver_.mapping(problem_);
  if (!mapping) return fail(step, problem_);
  const HostFile& file = session_.host().file(session_.host().currentFile());
  const double rate = file.audio->sampleRate();
  const int frame = shownResolution();
  // The trace is relative to its first column, so that column's frame must
  // hold sound throughout: a drag from the display's edge starts from a
  // centre of gravity that the silence padding the cut frame smears.
  const auto columns = wholeFrameColumns(*mapping, rate, frame);
  if (!columns)
    return fail(step, "no column of the display has a whole " + std::to_string(frame) + "-sample analysis frame");
  HWND display = driver_.control(editor::kDisplay);
  RgbImage image;
  if (!captureWindow(display, image, problem_)) return fail(step, problem_);
  const int top = mapping->rowOf(arguments_.upperHz);
  const int bottom = mapping->rowOf(arguments_.lowerHz);
  // The line where the drag starts, as a person reads it off the display
  // there: the levels of the band's rows over a few columns around the
  // press point (pixel x shows column x - 1, pixel y row y).
  constexpr int kAround = 2;
  std::vector<double> levels;
  for (int row = top; row <= bottom; ++row) {
    double sum = 0.0;
    int count = 0;
    for (int column = std::max(0, columns->first - kAround);
         column <= std::min(mapping->columns - 1, columns->first + kAround); ++column) {
      const int x = column + 1;
      if (row < 0 || row >= image.height || x >= image.width) continue;
      const std::uint8_t* pixel = image.at(x, row);
      const int level = ColourTable::levelOf({pixel[0], pixel[1], pixel[2]});
      if (level < 0) continue;
      sum += level;
      ++count;
    }
    levels.push_back(count > 0 ? sum / count : -1.0);
  }
  const auto pressRow = lineRow(levels, top, *mapping, rate / frame);
  if (!pressRow) return fail(step, "the band shows no levels where the drag starts");
  // The release's distance from the press sets the tracer's DISC level,
  // (distance / 4 + 10, at most 20): the half-width of the band whose spread
  // decides when the line is lost. The widest level holds the line longest
  // through the music's other partials.
  constexpr int kWidestLevelRows = 40;
  const int reach = std::min(kWidestLevelRows, mapping->rows - 1 - *pressRow);
  // The curve takes a traced line's frequency over the reference frequency:
  // the reference bar is set to the middle of the band, the line's nominal
  // frequency.
  const int reference = static_cast<int>(std::lround((arguments_.lowerHz + arguments_.upperHz) / 2.0));
  SCROLLINFO bar{};
  bar.cbSize = sizeof bar;
  bar.fMask = SIF_RANGE;
  HWND referenceBar = driver_.control(editor::kReferenceBar);
  if (!referenceBar || !GetScrollInfo(referenceBar, SB_CTL, &bar))
    return fail(step, "the editor has no reference frequency bar (control 11)");
  if (!driver_.moveBarTo(editor::kReferenceBar, bar.nMax + bar.nMin - reference))
    return fail(step, "the reference frequency bar does not reach " + std::to_string(reference) + " Hz (it covers " +
                          std::to_string(bar.nMin) + " to " + std::to_string(bar.nMax) + " Hz)");
  out_ << "reference frequency: " << reference << " Hz\n";
  out_ << "centre of gravity drag along row " << *pressRow << " (" << number(mapping->frequencyOf(*pressRow))
       << " Hz), columns " << columns->first << " to " << columns->last << ", release " << reach << " rows below\n";
  traced_ = {mapping->secondsOf(columns->first), mapping->secondsOf(columns->last)};
  std::vector<POINT> path;
  for (int x = columns->first; x < columns->last; x += kDragStep) path.push_back({x, *pressRow});
  path.push_back({columns->last, *pressRow + reach});
  driver_.dragDisplay(path);
  driver_.settle(kSettleMs);
  if (!driver_.quiet(kQuietMs)) return fail(step, "the plug-in did not settle");
  return noBoxes(step);
}

bool Run::findCurve() {
  switch (arguments_.algorithm) {
    case Algorithm::Hum:
    case Algorithm::Pilot:
      return createCurve();
    case Algorithm::Spectral:
      // Zoomed to the band, the drag covers the band asked and not the
      // coarse rows of the whole display around it.
      return zoomToBand() && dragRange() && createCurve();
    case Algorithm::CentreOfGravity:
      return dragAlongLine();
    case Algorithm::Partials:
      break;  // found before the window opens
  }
  return fail("finding the curve", "the editor has no such algorithm");
}

int Run::spectralLength() const {
  constexpr int kShortest = 512;
  constexpr int kLongest = 4096;
  const double rate = session_.host().file(session_.host().currentFile()).audio->sampleRate();
  int length = kShortest;
  while (length < kLongest && rate / (8.0 * length) > 0.001 * arguments_.lowerHz) length *= 2;
  return length;
}

// The points of a curve file under a name in any script.
std::vector<PvcPoint> readCurvePoints(const std::string& path) {
  DiskFile file(path, DiskFile::Mode::Read);
  CurveTextReader reader;
  if (!file.isOpen()) return {};
  const std::uint64_t size = file.size();
  std::vector<char> chunk(64 * 1024);
  for (std::uint64_t at = 0; at < size; at += chunk.size()) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), size - at));
    if (!file.readAt(at, chunk.data(), n)) return {};
    reader.feed(std::string_view(chunk.data(), n));
  }
  return reader.finish();
}

// Says what the curve is like; empty when it may be used, else why not.
std::string curveRefusal(const std::vector<PvcPoint>& curve, double rate, std::uint64_t frames, bool force,
                         std::ostream& out) {
  const CurveVerdict verdict = judgeCurve(curve, rate, static_cast<std::int64_t>(frames));
  out << "curve found: " << number(verdict.rmsPercent) << " % RMS, " << number(verdict.spreadPercent)
      << " % from its median at most, largest step " << number(verdict.largestStepPercent) << " %\n";
  if (verdict.plausible) return {};
  if (force) {
    out << "curve found: " << verdict.reason << "; corrected all the same (--force)\n";
    return {};
  }
  return verdict.reason + "; nothing was corrected (--force corrects along it all the same)";
}

bool Run::checkCurve(const std::string& file) {
  const HostFile& input = session_.host().file(session_.host().currentFile());
  const double rate = input.audio->sampleRate();
  const std::vector<PvcPoint> curve = readCurvePoints(file);
  // The tracer stops where it loses the line and leaves the rest of the
  // stretch as it was: say where, rather than correct part of the file.
  if (arguments_.algorithm == Algorithm::CentreOfGravity && traced_.second > traced_.first) {
    double lastTraced = traced_.first;
    for (const PvcPoint& p : curve)
      if (p.position / rate < traced_.second - 1e-6) lastTraced = std::max(lastTraced, p.position / rate);
    const double column = (traced_.second - traced_.first) / 100.0;
    if (lastTraced < traced_.second - std::max(column, 0.1)) {
      const std::string where = "the trace lost the line at " + number(lastTraced) + " s of the drag from " +
                                number(traced_.first) + " to " + number(traced_.second) + " s";
      if (!arguments_.force)
        return fail("the centre of gravity drag",
                    where + ": the rest would stay uncorrected (--force corrects along what was traced)");
      out_ << where << "; corrected along what was traced (--force)\n";
    }
  }
  const std::string refusal = curveRefusal(curve, rate, input.audio->frames(), arguments_.force, out_);
  return refusal.empty() || fail("the check of the curve found", refusal);
}

bool writeText(const std::string& path, const std::string& text) {
  DiskFile file(path, DiskFile::Mode::Create);
  return file.isOpen() && file.writeAt(0, text.data(), text.size()) && file.close();
}

// The curve as the options shape it, said with its figures before and after.
std::vector<PvcPoint> shaped(const std::vector<PvcPoint>& curve, double rate, std::uint64_t frames,
                             const CurveShape& shape, std::ostream& out, std::vector<std::string>& steps) {
  std::vector<PvcPoint> result = shapeCurve(curve, rate, static_cast<std::int64_t>(frames), shape);
  const auto before = judgeCurve(curve, rate, static_cast<std::int64_t>(frames));
  const auto after = judgeCurve(result, rate, static_cast<std::int64_t>(frames));
  const std::string said = "curve shaped (" + shape.describe() + "): " + number(before.rmsPercent) +
                           " % RMS before, " + number(after.rmsPercent) + " % after";
  out << said << '\n';
  steps.push_back(said);
  return result;
}

bool Run::shapeCurve(const std::string& file, const std::string& import) {
  const HostFile& input = session_.host().file(session_.host().currentFile());
  const std::string text =
      curveFileText(shaped(readCurvePoints(file), input.audio->sampleRate(), input.audio->frames(), arguments_.shape,
                           out_, steps_));
  if (!writeText(file, text) || !writeText(import, text))
    return fail("shaping the curve", "cannot write the shaped curve beside the output");
  return importCurve(import);
}

// Prints a measurement's progress a tenth at a time.
MeasureProgress tenths(std::ostream& err, const std::string& what) {
  return [&err, what, shown = -1](double fraction) mutable {
    const int tenth = static_cast<int>(fraction * 10.0);
    if (tenth == shown) return;
    shown = tenth;
    err << "pelmora-host: measuring the wow of " << what << ' ' << tenth * 10 << "%\n";
  };
}

// The estimator's settings for a run: the band and range asked for the
// partials algorithm, the whole file and audible range for the others.
partials::Options measureOptions(const DewowArguments& arguments) {
  partials::Options options;
  if (arguments.algorithm == Algorithm::Partials && arguments.hasBand) {
    options.lowHz = arguments.lowerHz;
    options.highHz = arguments.upperHz;
  }
  return options;
}

// Holds the corrected file to the input's wow: an output with no less wow is
// not kept (unless forced). False with the reason.
// after holds the output's estimate once it is made.
bool keepsLessWow(const partials::Result& before, const std::string& output, const DewowArguments& arguments,
                  MeasureSpan span, std::ostream& out, std::ostream& err, std::string& problem,
                  std::optional<partials::Result>& after, std::vector<std::string>& steps) {
  std::string why;
  WavReadResult opened;
  std::unique_ptr<AudioStore> store = openWavStore(output, true, opened);
  if (store) after = estimateWow(*store, measureOptions(arguments), span, tenths(err, "the output"), why);
  if (!after) {
    problem = "the measure of the output: " + (store ? why : opened.message);
    return false;
  }
  out << "wow before: " << describeWow(before) << '\n';
  out << "wow after:  " << describeWow(*after) << '\n';
  const std::optional<bool> less = lessWow(before, *after);
  if (!less) {
    out << "wow: not compared, one of the two has no figure; the output is kept\n";
    steps.push_back("wow not compared, one of the two has no figure; the output is kept");
    return true;
  }
  if (*less) {
    steps.push_back("the output has less wow than the input: kept");
    return true;
  }
  if (arguments.force) {
    out << "wow: the output has no less wow than the input; kept all the same (--force)\n";
    steps.push_back("the output has no less wow than the input; kept all the same (--force)");
    return true;
  }
  problem = "the check of the output: it has no less wow than the input (" + number(after->wow.rmsPercent) +
            " % RMS after, " + number(before.wow.rmsPercent) + " % before), so it was not kept (--force keeps it)";
  return false;
}

// A curve file the plug-in's "Open PVC File" dialog can take: beside the
// output, or in the temporary folder when that name would not reach it.
std::string importName(const std::string& output) {
  const std::string beside = output + ".import.tmp";
  return fitsCodePage(beside) ? beside : temporaryNameForPlugin(".pvc");
}


}  // namespace

int runDewowCommand(const std::vector<std::string>& args, const PluginSource& source, std::ostream& out,
                    std::ostream& err) {
  const DewowArguments parsed = parseDewowArguments(args);
  if (parsed.help) {
    out << kDewowUsage << kShapeUsage;
    return kExitOk;
  }
  if (!parsed.problem.empty()) {
    err << "pelmora-host: " << parsed.problem << '\n' << kDewowUsage;
    return kExitUsage;
  }
  // A name the run cannot write under is said before the first pass.
  std::vector<const std::string*> names{&parsed.output, &parsed.curveOut, &parsed.picture, &parsed.figures};
  for (const std::string& report : parsed.reports) names.push_back(&report);
  for (const std::string* name : names) {
    if (name->empty()) continue;
    if (const std::string problem = whyNotOutput(parsed.input, *name); !problem.empty()) {
      err << "pelmora-host: " << *name << ": " << problem << '\n';
      return kExitOutput;
    }
  }
  WorkingFiles files;
  const std::string output = files.add(parsed.output, ".wav");
  // The curve is always saved, to be checked before it is used.
  ScratchFile checked(parsed.output, ".curve.tmp");
  const std::string curve = parsed.curveOut.empty() ? checked.path() : files.add(parsed.curveOut, ".pvc");
  const std::string picture = parsed.picture.empty() ? std::string() : files.add(parsed.picture, ".bmp");

  // The input's wow, the figure the output is held to; for the partials
  // algorithm also the curve, which the plug-in gets through "Import PVC".
  WavReadResult opened;
  std::unique_ptr<AudioStore> input = openWavStore(parsed.input, true, opened);
  if (!input) {
    err << "pelmora-host: " << parsed.input << ": " << opened.message << '\n';
    return kExitInput;
  }
  const bool partialsRun = parsed.algorithm == Algorithm::Partials;
  MeasureSpan span;
  if (partialsRun && parsed.hasRange) {
    span.first = static_cast<std::uint64_t>(parsed.rangeStart * input->sampleRate());
    span.last = static_cast<std::uint64_t>(parsed.rangeEnd * input->sampleRate());
    if (span.last > input->frames()) {
      err << "pelmora-host: --range ends after the file's " << number(input->frames() / input->sampleRate()) << " s\n";
      return kExitUsage;
    }
  }
  std::string unread;
  const ULONGLONG measureStart = GetTickCount64();
  const std::optional<partials::Result> before =
      estimateWow(*input, measureOptions(parsed), span, tenths(err, "the input"), unread);
  if (!before) {
    err << "pelmora-host: " << parsed.input << ": " << unread << '\n';
    return kExitInput;
  }
  out << (partialsRun ? "partials estimate" : "wow of the input") << ": done in " << secondsSince(measureStart)
      << " s, " << describeWow(*before) << '\n';
  ScratchFile imported(importName(parsed.output), "");
  // What the run does, for the reports.
  std::vector<std::string> steps{"dewow --algorithm " + algorithmName(parsed.algorithm)};
  std::optional<partials::Result> after;
  const double rate = input->sampleRate();
  if (partialsRun && !hasFigure(*before)) {
    if (!parsed.force) {
      err << "pelmora-host: dewow stopped at the partials estimate: it is trusted over "
          << number(std::round(before->trustedShare * 100.0)) << " % of the file, too little to correct along "
          << "(--force corrects along it all the same)\n";
      return kExitRefused;
    }
    out << "partials estimate: trusted over too little of the file; corrected along it all the same (--force)\n";
  }
  if (partialsRun) {
    std::vector<PvcPoint> found = curvePoints(*before);
    const std::string refusal = curveRefusal(found, input->sampleRate(), input->frames(), parsed.force, out);
    if (!refusal.empty()) {
      err << "pelmora-host: dewow stopped at the check of the curve found: " << refusal << '\n';
      return kExitRefused;
    }
    if (parsed.shape.any()) found = shaped(found, input->sampleRate(), input->frames(), parsed.shape, out, steps);
    const std::string text = curveFileText(found);
    if (!writeText(imported.path(), text) || !writeText(curve, text)) {
      err << "pelmora-host: cannot write the curve beside " << parsed.output << '\n';
      return kExitOutput;
    }
  }
  input.reset();

  SessionSettings settings;
  settings.linkedEntry = parsed.plugin.empty() ? source.linkedEntry : nullptr;
  settings.pluginPath = parsed.plugin.empty() ? source.defaultPath : parsed.plugin;
  settings.output = output;
  settings.format = parsed.format;
  settings.what = std::string("Pelmora dewow ") + algorithmName(parsed.algorithm);
  // The curve applied, after any shaping, is the one saved there.
  settings.cueCurve = curve;
  settings.note = [&err, &parsed](const std::string& note) {
    err << "pelmora-host: " << parsed.output << ": " << note << '\n';
  };
  const EditorWork work = [&](InteractiveSession& session, std::string& problem) {
    Run run(session, parsed, out, steps);
    if (partialsRun) {
      const bool done = run.clickSplash() && run.importCurve(imported.path()) &&
                        (picture.empty() || run.picture(picture)) && run.process() &&
                        keepsLessWow(*before, output, parsed, span, out, err, problem, after, steps);
      if (problem.empty()) problem = run.problem();
      return done;
    }
    bool done = run.clickSplash() && run.chooseAlgorithm();
    auto parameters = parsed.parameters;
    const bool lengthGiven = std::any_of(parameters.begin(), parameters.end(),
                                         [](const auto& p) { return lowered(p.first) == "fft length"; });
    if (done && parsed.algorithm == Algorithm::Spectral && !lengthGiven)
      parameters.emplace_back("FFT Length", run.spectralLength());
    for (std::size_t i = 0; done && i < parameters.size(); ++i)
      done = run.setParameter(parameters[i].first, parameters[i].second);
    done = done && run.findCurve();
    done = done && run.exportCurve(curve) && run.checkCurve(curve);
    if (done && parsed.shape.any()) done = run.shapeCurve(curve, imported.path());
    if (done && !picture.empty()) done = run.picture(picture);
    done = done && run.process();
    problem = run.problem();
    return done && keepsLessWow(*before, output, parsed, span, out, err, problem, after, steps);
  };
  const int status = runEditorBatch("dewow", settings, parsed.input, files, work, out, err);
  if (!parsed.figures.empty() && !writeFiguresFile(parsed.figures, figuresOf(&*before, after ? &*after : nullptr)))
    err << "pelmora-host: cannot write the figures to " << parsed.figures << '\n';
  if (status != kExitOk || parsed.reports.empty() || !after) return status;
  const bool written = writeComparisonReports(parsed.reports, readingOfEstimate(*before, rate, parsed.input),
                                              readingOfEstimate(*after, rate, parsed.output), steps, out, err);
  return written ? status : kExitOutput;
}

}  // namespace host
