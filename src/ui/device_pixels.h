#pragma once
// Logical (widget) coordinates to the device pixels of a scaled screen.
#include <QRect>
#include <QRectF>

namespace lumigrid {

// The device pixels a logical rectangle covers at `ratio`: partly covered pixels count, so a
// repaint never leaves a seam between neighbouring rectangles.
inline QRect to_device(const QRect& logical, qreal ratio) {
  return QRectF(logical.x() * ratio, logical.y() * ratio, logical.width() * ratio,
                logical.height() * ratio)
      .toAlignedRect();
}

}  // namespace lumigrid
