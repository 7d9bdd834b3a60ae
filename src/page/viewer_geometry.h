#pragma once
// The page viewer's geometry as pure functions: fitting the page to the scroll box, zooming
// around the cursor, panning by drag and the wheel's rules. The window applies their results.
#include <cstdint>
#include <optional>

#include "surface/canvas.h"

namespace lumigrid {

struct ViewSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
  friend bool operator==(const ViewSize&, const ViewSize&) = default;
};

// A scroll position clamped to its range, 0 up to content extent minus visible extent.
std::int32_t clamp_scroll(std::int64_t requested, std::int64_t content_extent,
                          std::int64_t visible_extent);

struct FitResult {
  ViewSize control;  // the image control's new size, the page's aspect ratio kept
  Point scroll;      // both positions go back to 0
};

// Scales the image so that the page takes 98 % of the scroll box's width or height, whichever
// binds. Nothing when there is no page (height 0 or less) or the scroll box has no extent.
// `scroll_box` is its outer size, border included.
std::optional<FitResult> fit_image(ViewSize bitmap, ViewSize scroll_box);

struct ZoomView {
  ViewSize bitmap;      // the page
  ViewSize control;     // the image control's current size
  ViewSize scroll_box;  // the scroll box's outer size
};

struct ZoomResult {
  float scale = 0;   // the new control width over the bitmap width, in steps of 0.001
  ViewSize control;  // the image control's new size
  Point requested;   // scroll positions asked for: the cursor point times the factor,
                     // less half the scroll box; the scroll bars clamp them to their range
};

// One zoom step by `factor` (0.8f or 1.2f) about `point`, in the viewer's client coordinates.
// Nothing when the step stops at a limit: an image narrower than 10 pixels does not shrink, and
// a scale beyond 100 is refused. Throws lumigrid::DivisionByZeroError for a page of width 0.
std::optional<ZoomResult> zoom_image(const ZoomView& view, float factor, Point point);

// The wheel: turned away from the operator (delta > 0) zooms out by 0.8, towards (delta < 0)
// zooms in by 1.2; a delta of 0 zooms nothing. One notification is one step.
std::optional<float> wheel_zoom_factor(std::int32_t delta);
// Where the wheel puts the cursor after every notification: the scroll box's centre, in the
// viewer's client coordinates.
Point wheel_cursor_target(ViewSize scroll_box);

// A drag over the image: the scroll positions move by the distance from the drag origin to the
// cursor (both in the image's coordinates), clamped, so the grabbed point follows the mouse.
Point pan_scroll(Point scroll, Point drag_origin, Point cursor, ViewSize content,
                 ViewSize viewport);

}  // namespace lumigrid
