#pragma once
// Owned windows: the adjust window and the viewer belong to the chart window. They stay in front
// of it, also when it covers the screen, and have no taskbar entry of their own.
class QWidget;

namespace lumigrid {

// Makes `window` owned by `owner` from its next show on; both must outlive nothing of each other
// (the owner is the window's parent).
void make_owned(QWidget* window, QWidget* owner);

}  // namespace lumigrid
