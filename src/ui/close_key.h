#pragma once
// Ctrl+W, the desktop's key for closing the window in front, for the windows a user opens and
// closes again (adjust window, viewer, About window). The chart window keeps its own keys.
class QWidget;

namespace lumigrid {

// Ctrl+W anywhere in `window` closes it as its close box does.
void close_with_ctrl_w(QWidget* window);

}  // namespace lumigrid
