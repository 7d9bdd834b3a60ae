#pragma once
// Keys that close a window: Ctrl+W, the desktop's key for closing the window in front, for the
// windows a user opens and closes again (adjust window, viewer, About window), and Escape for the
// About window. The chart window keeps its own keys.
class QWidget;

namespace lumigrid {

// Ctrl+W anywhere in `window` closes it as its close box does.
void close_with_ctrl_w(QWidget* window);

// Closes `window` as its key `key` goes down. The key then comes up in the window in front next,
// the chart window, whose keys act as they come up (Escape leaves full screen, a letter may draw):
// that release is taken, once, wherever it goes.
void close_by_key(QWidget* window, int key);

}  // namespace lumigrid
