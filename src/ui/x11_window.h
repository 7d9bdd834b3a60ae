#pragma once
// What X11 window managers read from a window's properties and the toolkit does not set: the
// owner and an empty caption. Each does nothing on other window systems.
class QWidget;

namespace lumigrid {

// Names `owner` in `window`'s WM_TRANSIENT_FOR; both have native windows.
void x11_name_owner(QWidget* window, QWidget* owner);
// Empties `window`'s caption properties: the toolkit writes the program's name for an empty
// caption. Nothing while the window has no native window.
void x11_clear_caption(QWidget* window);

}  // namespace lumigrid
