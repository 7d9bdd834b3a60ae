#pragma once
// Small helpers for exact-pixel checks on tiny surfaces.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "surface/surface.h"

namespace lumigrid::test {

inline constexpr Colour kRed = 0x0000FF;
inline constexpr Colour kBlue = 0xFF0000;
inline constexpr Colour kGreen = 0x00FF00;

// Every pixel for which `pred` holds, as (x, y) pairs in row order.
inline std::vector<Point> pixels_where(const Surface& s, const std::function<bool(Colour)>& pred) {
  std::vector<Point> out;
  for (std::int32_t y = 0; y < s.height(); ++y) {
    for (std::int32_t x = 0; x < s.width(); ++x) {
      if (pred(s.pixel(x, y))) out.push_back({x, y});
    }
  }
  return out;
}

inline std::vector<Point> pixels_of(const Surface& s, Colour c) {
  return pixels_where(s, [c](Colour p) { return p == c; });
}

// The surface as text, one character per pixel: '#' for `ink`, '.' for anything else; handy in
// failure messages.
inline std::string picture(const Surface& s, Colour ink) {
  std::string out;
  for (std::int32_t y = 0; y < s.height(); ++y) {
    for (std::int32_t x = 0; x < s.width(); ++x) out += s.pixel(x, y) == ink ? '#' : '.';
    out += '\n';
  }
  return out;
}

// Bounding box of the pixels of colour c: {min x, min y, max x, max y}, or {1, 1, 0, 0} if none.
struct Box {
  std::int32_t left = 1, top = 1, right = 0, bottom = 0;
  friend bool operator==(const Box&, const Box&) = default;
};
inline Box bounding_box(const Surface& s, Colour c) {
  Box b;
  bool any = false;
  for (const Point p : pixels_of(s, c)) {
    if (!any) b = {p.x, p.y, p.x, p.y};
    any = true;
    b.left = std::min(b.left, p.x);
    b.right = std::max(b.right, p.x);
    b.top = std::min(b.top, p.y);
    b.bottom = std::max(b.bottom, p.y);
  }
  return b;
}

// True when the pixels of colour c form one 8-connected set.
inline bool eight_connected(const Surface& s, Colour c) {
  const auto set = pixels_of(s, c);
  if (set.empty()) return true;
  std::vector<char> seen(std::size_t(s.width()) * std::size_t(s.height()), 0);
  std::vector<Point> stack{set.front()};
  seen[std::size_t(set.front().y) * std::size_t(s.width()) + std::size_t(set.front().x)] = 1;
  std::size_t reached = 0;
  while (!stack.empty()) {
    const Point p = stack.back();
    stack.pop_back();
    ++reached;
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        const std::int32_t x = p.x + dx, y = p.y + dy;
        if (x < 0 || y < 0 || x >= s.width() || y >= s.height()) continue;
        char& mark = seen[std::size_t(y) * std::size_t(s.width()) + std::size_t(x)];
        if (mark || s.pixel(x, y) != c) continue;
        mark = 1;
        stack.push_back({x, y});
      }
    }
  }
  return reached == set.size();
}

}  // namespace lumigrid::test
