// Where a time and a frequency lie on the editor's display, worked out from
// what the editor shows: its time labels give the visible stretch, its
// frequency labels the visible band. The display's columns (its width less
// the two border pixels) spread evenly over the stretch, each standing for
// the time at its centre; pixel x shows column x - 1. Its rows (its height
// less one) run from the upper frequency at row 0 down to the lower one at
// the last row, the bottom border; pixel y shows row y, and a mouse y is
// that row, so rows are read and pressed at the same y.
#pragma once

#include <optional>
#include <span>
#include <string>

namespace host {

// Seconds of a time label, "m:ss.fff" (minutes may have more digits); nothing
// for any other text.
std::optional<double> parseTimeLabel(const std::string& text);
// A frequency label, a whole number of hertz.
std::optional<double> parseFrequencyLabel(const std::string& text);

struct DisplayMapping {
  double firstSecond = 0.0;  // the time labels
  double lastSecond = 0.0;
  double lowerHz = 0.0;      // the frequency labels
  double upperHz = 0.0;
  int columns = 0;
  int rows = 0;

  bool valid() const;
  // The column whose centre lies nearest the time, kept on the display.
  int columnOf(double seconds) const;
  // The row nearest the frequency, kept on the display.
  int rowOf(double hz) const;
  double secondsOf(int column) const;
  double frequencyOf(int row) const;
};

// The first and last column whose analysis frame of fftLength samples lies
// wholly inside the visible stretch. The editor centres a column's frame on
// its time, so the frames of the columns nearer an end are cut there and
// padded with silence; a line traced from such a column starts from a
// smeared centre of gravity that offsets the whole trace. Nothing when no
// column has a whole frame.
struct ColumnRange {
  int first = 0;
  int last = 0;
};
std::optional<ColumnRange> wholeFrameColumns(const DisplayMapping& mapping, double sampleRate, int fftLength);

// The row to press on a tonal line, from the display's level on each row
// from firstRow on (negative where no level could be read) at the press
// point. Between bins the display interpolates the levels, so a line always
// looks brightest at its strongest bin, up to half a bin from where it
// really is; the levels one bin above and below place it within the bin.
// binHz is the analysis bin width. Nothing when no row has a level.
std::optional<int> lineRow(std::span<const double> levels, int firstRow, const DisplayMapping& mapping,
                           double binHz);

// From the label texts and the display's client size; nothing, with the
// reason, when a label cannot be read or the stretch or band is empty.
std::optional<DisplayMapping> mappingFromLabels(const std::string& firstTime, const std::string& lastTime,
                                                const std::string& lowerHz, const std::string& upperHz,
                                                int displayWidth, int displayHeight, std::string& problem);

}  // namespace host
