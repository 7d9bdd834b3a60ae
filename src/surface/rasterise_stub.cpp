#include "surface/surface.h"

namespace lumigrid {
void Surface::FillRect(std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
void Surface::Polygon(std::span<const Point>) {}
void Surface::Ellipse(std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
void Surface::TextOut(std::int32_t, std::int32_t, std::string_view) {}
}  // namespace lumigrid
