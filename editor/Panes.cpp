#include "editor/Panes.h"

namespace editor {

namespace {

constexpr const char* kNames[] = {"p1", "p2", "p3", "p4", "p5", "p6"};
constexpr const char* kBars[] = {"B1", "B2", "B3", "B4", "B5", "B6"};
constexpr const char* kReadouts[] = {"t1", "t2", "t3", "t4", "t5", "t6"};

// The pane's ids as ControlIds.h names them.
template <int Count>
void fill(PaneLayout& p, const PaneIds<Count>& ids) {
  p.count = Count;
  for (std::size_t i = 0; i < static_cast<std::size_t>(Count); ++i) {
    p.nameIds[i] = ids.names[i];
    p.barIds[i] = ids.bars[i];
    p.readoutIds[i] = ids.readouts[i];
  }
}

PaneLayout makeHumPane() {
  PaneLayout p;
  fill(p, kHumPaneIds);
  p.nameX = {275, 345, 435, 515, 595};
  p.barX = {301, 381, 461, 541, 621};
  p.readoutX = {290, 370, 450, 530, 610};
  p.nameY = 330;
  p.nameHeight = 39;
  p.wideNameId = kHumPaneIds.names[1];
  p.wideNameWidth = 90;
  p.barY = 374;
  p.readoutY = 458;
  p.scroll = {0, 1000, 2, 500};
  return p;
}

PaneLayout makePilotTonePane() {
  PaneLayout p;
  fill(p, kPilotPaneIds);
  p.nameX = {255, 325, 390, 465, 535, 605};
  p.barX = {281, 351, 421, 491, 561, 631};
  p.readoutX = {270, 340, 410, 480, 550, 620};
  p.nameY = 335;
  p.nameHeight = 26;
  p.wideNameId = kPilotPaneIds.names[2];
  p.wideNameWidth = 75;
  p.barY = 367;
  p.readoutY = 450;
  p.scroll = {0, 100, 2, 50};
  return p;
}

PaneLayout makeSpectralPane() {
  PaneLayout p;
  fill(p, kSpectralPaneIds);
  p.nameX = {275, 355, 430, 515, 595};
  p.barX = {301, 381, 461, 541, 621};
  p.readoutX = {290, 370, 450, 530, 610};
  p.nameY = 335;
  p.nameHeight = 28;
  p.wideNameId = kSpectralPaneIds.names[2];
  p.wideNameWidth = 75;
  p.barY = 367;
  p.readoutY = 450;
  p.scroll = {0, 100, 2, 50};
  p.pagedBarId = kSpectralPaneIds.bars[0];
  p.pagedBarPage = 20;
  return p;
}

}  // namespace

const PaneLayout& humPane() {
  static const PaneLayout pane = makeHumPane();
  return pane;
}

const PaneLayout& pilotTonePane() {
  static const PaneLayout pane = makePilotTonePane();
  return pane;
}

const PaneLayout& spectralPane() {
  static const PaneLayout pane = makeSpectralPane();
  return pane;
}

std::vector<ControlRecord> paneControls(const PaneLayout& pane) {
  std::vector<ControlRecord> records;
  const auto n = static_cast<size_t>(pane.count);
  for (size_t i = 0; i < n; ++i) {
    const int id = pane.nameIds[i];
    const int width = id == pane.wideNameId ? pane.wideNameWidth : pane.nameWidth;
    records.push_back({id, ControlKind::Static, kNames[i], pane.nameX[i], pane.nameY, width, pane.nameHeight, kCentred});
  }
  for (size_t i = 0; i < n; ++i) {
    const int id = pane.barIds[i];
    ScrollSetup scroll = pane.scroll;
    if (id == pane.pagedBarId) scroll.page = pane.pagedBarPage;
    records.push_back({id, ControlKind::VScroll, kBars[i], pane.barX[i], pane.barY, 17, 80, kSubclass, scroll});
  }
  for (size_t i = 0; i < n; ++i)
    records.push_back({pane.readoutIds[i], ControlKind::Static, kReadouts[i], pane.readoutX[i], pane.readoutY, 40, 17,
                     kCentred});
  return records;
}

}  // namespace editor
