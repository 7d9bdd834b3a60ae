#include "page/viewer_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/errors.h"

namespace lumigrid {

namespace {

std::int32_t saturate(double value) {
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  if (!(value >= kMin)) return std::numeric_limits<std::int32_t>::min();
  if (value > kMax) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

std::int32_t round_to_int(double value) {
  return saturate(std::nearbyint(value));
}

}  // namespace

std::int32_t clamp_scroll(std::int64_t requested, std::int64_t content_extent,
                          std::int64_t visible_extent) {
  const std::int64_t range = std::max<std::int64_t>(0, content_extent - visible_extent);
  return saturate(double(std::clamp<std::int64_t>(requested, 0, range)));
}

std::optional<FitResult> fit_image(ViewSize bitmap, ViewSize scroll_box) {
  if (bitmap.height <= 0) return std::nullopt;
  if (scroll_box.width <= 0 || scroll_box.height <= 0) return std::nullopt;
  const double bw = bitmap.width, bh = bitmap.height;
  const double pw = scroll_box.width, ph = scroll_box.height;
  const double s = (bw / bh > pw / ph) ? bw / pw : bh / ph;
  FitResult fit;
  fit.control = {saturate(std::trunc(bw / s * 0.98)), saturate(std::trunc(bh / s * 0.98))};
  fit.scroll = {0, 0};
  return fit;
}

std::optional<ZoomResult> zoom_image(const ZoomView& view, float factor, Point point) {
  const double f = double(factor);
  const float s = float(checked_divide(view.control.width, view.bitmap.width));
  if (view.control.width < 10 && f < 1) return std::nullopt;
  const float scale = float(std::nearbyint(double(s) * f * 1000.0) / 1000.0);
  if (double(scale) > 100 && f > 1) return std::nullopt;

  ZoomResult zoom;
  zoom.scale = scale;
  zoom.control = {round_to_int(view.bitmap.width * double(scale)),
                  round_to_int(view.bitmap.height * double(scale))};
  zoom.requested = {
      saturate(std::nearbyint(point.x * f) - std::trunc(view.scroll_box.width / 2.0)),
      saturate(std::nearbyint(point.y * f) - std::trunc(view.scroll_box.height / 2.0))};
  return zoom;
}

std::optional<float> wheel_zoom_factor(std::int32_t delta) {
  if (delta > 0) return 0.8f;
  if (delta < 0) return 1.2f;
  return std::nullopt;
}

Point wheel_cursor_target(ViewSize scroll_box) {
  return {scroll_box.width / 2, scroll_box.height / 2};
}

Point pan_scroll(Point scroll, Point drag_origin, Point cursor, ViewSize content,
                 ViewSize viewport) {
  const std::int64_t x = std::int64_t(scroll.x) + drag_origin.x - cursor.x;
  const std::int64_t y = std::int64_t(scroll.y) + drag_origin.y - cursor.y;
  return {clamp_scroll(x, content.width, viewport.width),
          clamp_scroll(y, content.height, viewport.height)};
}

}  // namespace lumigrid
