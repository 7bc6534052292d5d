// Where the controls end: one row for every button, list and scroll bar of
// the window that does something, read by the main window's procedure.
// "Offset PVC Points", "Smoothing PVC" and "PLAY?" have no row: they do
// nothing.
#pragma once

#include <span>

class OfflineEditor;

namespace editor {

// Which scroll messages of a bar a row takes.
enum ScrollDirection : unsigned {
  kNoScroll = 0,
  kHorizontalScroll = 1u << 0,
  kVerticalScroll = 1u << 1,
};

struct CommandRow {
  int id = 0;
  // A click, a list choice, or a move of the bar.
  void (*run)(OfflineEditor& editor, int id) = nullptr;
  // The scroll messages that count as a move of the bar.
  unsigned moves = kNoScroll;
  // The bar's thumb let go (the scroll's end), in the direction endsOn.
  void (*ended)(OfflineEditor& editor) = nullptr;
  unsigned endsOn = kNoScroll;
};

std::span<const CommandRow> commandTable();
// The row of a control id, or null.
const CommandRow* commandRow(int id);

}  // namespace editor
