#pragma once
// Owned windows: the adjust window and the viewer belong to the chart window. They stay in front
// of it, also when it covers the screen; the window manager's own switching (Alt+Tab) reaches
// them like any other window, so the keyboard alone can go to and fro.
class QWidget;

namespace lumigrid {

// Makes `window` owned by `owner` from its next show on; both must outlive nothing of each other
// (the owner is the window's parent).
void make_owned(QWidget* window, QWidget* owner);

// Shows `window` (or keeps it shown), puts it in front and makes it the active window with the
// keyboard focus on its first control, so that a window opened from a menu by key can be worked
// by key at once.
void bring_forward(QWidget* window);

// The first control of `window` that the Tab key can reach, or nullptr when there is none.
QWidget* first_control(QWidget* window);

}  // namespace lumigrid
