#pragma once
// What another window may do to the chart: read and change its state, draw a pattern on it and
// take it in or out of full screen. The adjust window works the chart through this alone.
#include <cstdint>

#include "patterns/chart_state.h"
#include "patterns/pattern_keys.h"

namespace lumigrid {

class ChartControl {
 public:
  virtual ChartState& state() = 0;
  // Draws a pattern onto the chart and shows the result.
  virtual void image_Pattern(std::int32_t pattern_Num) = 0;
  // Enters (true) or leaves (false) full screen.
  virtual void fullScreen(bool full_screen) = 0;

 protected:
  ~ChartControl() = default;
};

// What releasing `key` (a virtual-key code) in the chart or the adjust window does to the chart:
// the one switch both windows share, so that both answer a key the same way (Escape leaves full
// screen, a digit draws its pattern, F11 toggles full screen). Returns the command it carried out.
KeyCommand run_key_command(ChartControl& chart, int key);

}  // namespace lumigrid
