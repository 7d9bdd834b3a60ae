#pragma once
// What a screen reader is told of a window itself: that it is a window (a frame, or a dialog for
// the About window), not a filler inside one, and what it is for.
class QString;
class QWidget;

namespace lumigrid {

// Announces `window` as a window with `description`; call it first thing in the window's
// constructor, before anything can ask the accessibility bridge about it.
void announce_window(QWidget* window, const QString& description);

}  // namespace lumigrid
