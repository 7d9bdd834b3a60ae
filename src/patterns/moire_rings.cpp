#include "patterns/moire_rings.h"

#include <cmath>

namespace lumigrid {

void paint_moire_rings(Canvas& canvas, std::int32_t cx, std::int32_t cy, std::int32_t space,
                       std::int32_t pitch, std::int32_t pitch2) {
  canvas.setBrushColour(kWhite);
  canvas.setPenColour(kBlack);
  canvas.setPenWidth(pitch / 2);
  // r, n, step and p follow the drawing's arithmetic exactly: doubles rounded ties-to-even,
  // with n, step and p stored in single precision between operations.
  std::int64_t r = std::int64_t(std::nearbyint(double(space) / 1.414));
  const float n = float(double(r) / ((double(pitch) + double(pitch2)) / 2.0));
  const float step = float((double(pitch2) - double(pitch)) / double(n));
  float p = float(pitch);
  while (r > 0) {
    canvas.Ellipse(std::int32_t(cx - r), std::int32_t(cy - r), std::int32_t(cx + r),
                   std::int32_t(cy + r));
    // A spacing that rounds to 0 or less (or is not finite) would never end the loop or
    // overflow the conversion; outside the adjust window's ranges we stop instead.
    if (!(double(p) > 0.5 && double(p) < 2147483647.0)) break;
    canvas.setPenWidth(std::int32_t(std::nearbyint(double(p) / 2.0)));
    const std::int64_t advance = std::int64_t(std::nearbyint(double(p)));
    r -= advance;
    p = float(double(p) + double(step));
  }
}

}  // namespace lumigrid
