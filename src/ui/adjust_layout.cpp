#include "ui/adjust_layout.h"

namespace lumigrid {

Box anchored_box(const Box& design, std::uint8_t anchors, std::int32_t grow_x,
                 std::int32_t grow_y) {
  Box box = design;
  const bool left = (anchors & kAnchorLeft) != 0;
  const bool right = (anchors & kAnchorRight) != 0;
  const bool top = (anchors & kAnchorTop) != 0;
  const bool bottom = (anchors & kAnchorBottom) != 0;
  if (left && right) {
    box.width = design.width + grow_x;
  } else if (right) {
    box.left = design.left + grow_x;
  }
  if (top && bottom) {
    box.height = design.height + grow_y;
  } else if (bottom) {
    box.top = design.top + grow_y;
  }
  if (box.width < 0) box.width = 0;
  if (box.height < 0) box.height = 0;
  return box;
}

}  // namespace lumigrid
