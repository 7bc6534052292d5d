// The main window's command table against the control table: every control
// that acts has one row, and the scroll bars' rows take the messages their
// bars send.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "editor/CommandTable.h"
#include "editor/ControlIds.h"
#include "editor/ControlTable.h"

namespace {

using editor::CommandRow;
using editor::ControlKind;

bool isBar(ControlKind kind) { return kind == ControlKind::VScroll || kind == ControlKind::HScroll; }

TEST(CommandTable, HasOneRowForEveryControlThatActs) {
  std::set<int> ids;
  for (const CommandRow& row : editor::commandTable()) {
    SCOPED_TRACE("row " + std::to_string(row.id));
    ASSERT_NE(editor::findControl(row.id), nullptr) << "no such control";
    EXPECT_TRUE(ids.insert(row.id).second) << "two rows";
    EXPECT_NE(row.run, nullptr);
    EXPECT_EQ(editor::commandRow(row.id), &row);
  }
  // These never do anything; the analysis settings lists are read when
  // "Update" is pressed.
  const std::set<int> idle = {editor::kOffsetPoints, editor::kSmoothingPvc, editor::kPlay, editor::kResolutionList,
                              editor::kWindowList};
  for (const editor::ControlRecord& record : editor::editorControls()) {
    SCOPED_TRACE("control " + std::to_string(record.id));
    const bool acts = record.kind == ControlKind::Push || record.kind == ControlKind::Check ||
                      record.kind == ControlKind::Radio || record.kind == ControlKind::DropList ||
                      isBar(record.kind);
    EXPECT_EQ(ids.count(record.id) == 1, acts && idle.count(record.id) == 0);
  }
  EXPECT_EQ(editor::commandRow(editor::kMessageArea), nullptr);
}

TEST(CommandTable, BarsTakeTheScrollMessagesTheySend) {
  for (const editor::ControlRecord& record : editor::editorControls()) {
    const CommandRow* row = editor::commandRow(record.id);
    SCOPED_TRACE("control " + std::to_string(record.id));
    if (!isBar(record.kind)) {
      if (row) EXPECT_EQ(row->moves, editor::kNoScroll);
      continue;
    }
    ASSERT_NE(row, nullptr);
    const unsigned own = record.kind == ControlKind::HScroll ? editor::kHorizontalScroll : editor::kVerticalScroll;
    EXPECT_NE(row->moves & own, 0u);
    // Only the two view bars commit when the thumb is let go, each on its own
    // direction.
    const bool commits = record.id == editor::kTimeBar || record.id == editor::kFrequencyBar;
    EXPECT_EQ(row->ended != nullptr, commits);
    if (commits) EXPECT_EQ(row->endsOn, own);
  }
}

}  // namespace
