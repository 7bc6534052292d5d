#include "editor/HumBars.h"

#include <array>
#include <cstdio>

namespace editor {
namespace {

std::string format(const char* pattern, float v) {
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), pattern, static_cast<double>(v));
  return text.data();
}

HumBarMove basic(int bar, float v, float otherBar, HumParameters& p) {
  HumBarMove move;
  switch (bar) {
    case kHumPaneIds.bars[0]:
      p.setValue(1, v / 2.0f);
      break;
    case kHumPaneIds.bars[1]:
      p.setValue(2, v);
      // The band must be at least twice as wide as the first setting.
      if (2.0f * p.value(1) >= p.value(2)) {
        p.setValue(2, 2.0f * p.value(1));
        move.placeBarAt = p.value(2);
      }
      break;
    case kHumPaneIds.bars[2]:
      // The lower bound stays below the upper bound's bar.
      if (v >= otherBar) {
        p.setValue(3, otherBar);
        move.placeBarAt = otherBar;
      } else {
        p.setValue(3, v);
      }
      break;
    case kHumPaneIds.bars[3]:
      if (v > otherBar) {
        p.setValue(4, v);
      } else {
        p.setValue(4, otherBar);
        move.placeBarAt = otherBar;
      }
      break;
    default:
      p.setValue(10, v);
      break;
  }
  move.readout = format("%.1f", p.display(humParameterOfBar(bar, false)));
  return move;
}

HumBarMove advanced(int bar, float v, HumParameters& p) {
  HumBarMove move;
  switch (bar) {
    case kHumPaneIds.bars[0]:
      p.setValue(5, v);
      if (2.0f * p.display(7) >= p.display(5)) {
        p.setValue(5, p.value(7));
        move.placeBarAt = p.value(5);
      }
      break;
    case kHumPaneIds.bars[1]:
      p.setValue(6, v);
      if (!(p.value(5) >= p.value(6))) {
        p.setValue(6, p.value(5));
        move.placeBarAt = p.value(6);
      }
      break;
    case kHumPaneIds.bars[2]:
      p.setValue(7, v);
      if (!(p.value(5) > p.value(7))) {
        p.setValue(7, p.value(5));
        move.placeBarAt = p.value(7);
      }
      // Below order 2 the filter would not be a filter.
      if (p.display(7) < 2.0f) {
        move.placeBarAt = 0.025f;
        p.setValue(7, 0.025f);
      }
      break;
    case kHumPaneIds.bars[3]:
      p.setValue(9, v);
      break;
    default:
      p.setValue(11, v);
      break;
  }
  move.readout = format("%.0f", p.display(humParameterOfBar(bar, true)));
  return move;
}

}  // namespace

int humParameterOfBar(int bar, bool advanced) {
  static constexpr std::array<int, 5> kBasic{1, 2, 3, 4, 10};
  static constexpr std::array<int, 5> kAdvanced{5, 6, 7, 9, 11};
  const int i = bar < kFirstHumBar ? 0 : bar > kLastHumBar ? 4 : bar - kFirstHumBar;
  return advanced ? kAdvanced[static_cast<std::size_t>(i)] : kBasic[static_cast<std::size_t>(i)];
}

HumBarMove moveHumBar(int bar, float v, bool isAdvanced, float otherBar, HumParameters& parameters) {
  return isAdvanced ? advanced(bar, v, parameters) : basic(bar, v, otherBar, parameters);
}

}  // namespace editor
