#include "ui/chart_control.h"

namespace lumigrid {

KeyCommand run_key_command(ChartControl& chart, int key) {
  const PatternKey action = pattern_key(key);
  switch (action.command) {
    case KeyCommand::LeaveFullScreen:
      chart.state().is_full_screen = false;
      chart.fullScreen(false);
      break;
    case KeyCommand::DrawPattern:
      chart.image_Pattern(action.pattern);
      break;
    case KeyCommand::ToggleFullScreen:
      chart.state().is_full_screen = !chart.state().is_full_screen;
      chart.fullScreen(chart.state().is_full_screen);
      break;
    case KeyCommand::None:
      break;
  }
  return action.command;
}

}  // namespace lumigrid
