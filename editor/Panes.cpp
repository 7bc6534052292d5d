#include "editor/Panes.h"

namespace editor {

namespace {

constexpr const char* kNames[] = {"p1", "p2", "p3", "p4", "p5", "p6"};
constexpr const char* kBars[] = {"B1", "B2", "B3", "B4", "B5", "B6"};
constexpr const char* kReadouts[] = {"t1", "t2", "t3", "t4", "t5", "t6"};

PaneLayout makeHumPane() {
  PaneLayout p;
  p.count = 5;
  p.nameIds = {41, 42, 43, 44, 45};
  p.barIds = {46, 47, 48, 49, 50};
  p.readoutIds = {51, 52, 53, 54, 55};
  p.nameX = {275, 345, 435, 515, 595};
  p.barX = {301, 381, 461, 541, 621};
  p.readoutX = {290, 370, 450, 530, 610};
  p.nameY = 330;
  p.nameHeight = 39;
  p.wideNameId = 42;
  p.wideNameWidth = 90;
  p.barY = 374;
  p.readoutY = 458;
  p.scroll = {0, 1000, 2, 500};
  return p;
}

PaneLayout makePilotTonePane() {
  PaneLayout p;
  p.count = 6;
  p.nameIds = {25, 26, 27, 28, 29, 103};
  p.barIds = {30, 31, 32, 33, 34, 104};
  p.readoutIds = {35, 36, 37, 38, 39, 105};
  p.nameX = {255, 325, 390, 465, 535, 605};
  p.barX = {281, 351, 421, 491, 561, 631};
  p.readoutX = {270, 340, 410, 480, 550, 620};
  p.nameY = 335;
  p.nameHeight = 26;
  p.wideNameId = 27;
  p.wideNameWidth = 75;
  p.barY = 367;
  p.readoutY = 450;
  p.scroll = {0, 100, 2, 50};
  return p;
}

PaneLayout makeSpectralPane() {
  PaneLayout p;
  p.count = 5;
  p.nameIds = {81, 82, 83, 84, 85};
  p.barIds = {86, 87, 88, 89, 90};
  p.readoutIds = {91, 92, 93, 94, 95};
  p.nameX = {275, 355, 430, 515, 595};
  p.barX = {301, 381, 461, 541, 621};
  p.readoutX = {290, 370, 450, 530, 610};
  p.nameY = 335;
  p.nameHeight = 28;
  p.wideNameId = 83;
  p.wideNameWidth = 75;
  p.barY = 367;
  p.readoutY = 450;
  p.scroll = {0, 100, 2, 50};
  p.pagedBarId = 86;
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
