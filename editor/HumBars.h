// What moving one of the hum pane's five scroll bars does to the hum
// engine's parameters: the basic and the advanced set, the bounds each bar
// keeps against the others, and the read-out text. Plain C++: the window
// code moves the bars and shows the text it is told to.
#pragma once

#include <optional>
#include <string>

#include "editor/ControlIds.h"

namespace editor {

// The hum engine's parameters as the pane sees them: normalised values 0..1
// and values in display units.
class HumParameters {
 public:
  virtual ~HumParameters() = default;
  virtual float value(int index) = 0;
  virtual void setValue(int index, float v) = 0;
  virtual float display(int index) = 0;
};

// Scroll bar ids of the pane, and of the read-out under each.
inline constexpr int kFirstHumBar = kHumPaneIds.bars[0];
inline constexpr int kLastHumBar = kHumPaneIds.bars[4];
inline constexpr int kFirstHumReadout = kHumPaneIds.readouts[0];

struct HumBarMove {
  // Where the moved bar must be put back, as a value 0..1, when a bound
  // overruled the user.
  std::optional<float> placeBarAt;
  std::string readout;  // text of the read-out under the bar
};

// Bar `bar` (kFirstHumBar..kLastHumBar) moved to value v (1 at the top). otherBar is the value
// of the fourth bar when the third moved and of the third when the fourth moved (the basic set
// keeps the lower bound below the upper one by the bars themselves).
HumBarMove moveHumBar(int bar, float v, bool advanced, float otherBar, HumParameters& parameters);

// Engine parameter shown on bar `bar` in the basic or the advanced set.
int humParameterOfBar(int bar, bool advanced);

}  // namespace editor
