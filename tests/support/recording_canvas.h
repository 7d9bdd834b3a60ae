#pragma once
// A canvas that paints nothing and remembers every operation, in order, with the tools it was
// made with.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "surface/canvas.h"

namespace lumigrid::testing {

struct CanvasCall {
  enum class Kind { FillRect, Polygon, Ellipse, TextOut };
  Kind kind;
  // FillRect and Ellipse: the two corners; Polygon: its points; TextOut: the cell's corner.
  std::vector<Point> points;
  std::string text;
  DrawingTools tools;

  // FillRect and Ellipse: the corners as the call gave them.
  std::int32_t left() const { return points[0].x; }
  std::int32_t top() const { return points[0].y; }
  std::int32_t right() const { return points[1].x; }
  std::int32_t bottom() const { return points[1].y; }
  // Ellipse: the centre and the radius of a circle.
  std::int32_t centre_x() const { return (left() + right()) / 2; }
  std::int32_t centre_y() const { return (top() + bottom()) / 2; }
  std::int32_t radius() const { return (right() - left()) / 2; }
};

class RecordingCanvas final : public Canvas {
 public:
  RecordingCanvas(std::int32_t width, std::int32_t height) : width_(width), height_(height) {}
  std::int32_t width() const override { return width_; }
  std::int32_t height() const override { return height_; }

  void FillRect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) override {
    calls.push_back({CanvasCall::Kind::FillRect, {{l, t}, {r, b}}, {}, tools()});
  }
  void Polygon(std::span<const Point> points) override {
    calls.push_back(
        {CanvasCall::Kind::Polygon, std::vector<Point>(points.begin(), points.end()), {}, tools()});
  }
  void Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override {
    calls.push_back({CanvasCall::Kind::Ellipse, {{x1, y1}, {x2, y2}}, {}, tools()});
  }
  void TextOut(std::int32_t x, std::int32_t y, std::string_view text) override {
    calls.push_back({CanvasCall::Kind::TextOut, {{x, y}}, std::string(text), tools()});
  }

  std::vector<CanvasCall> of(CanvasCall::Kind kind) const {
    std::vector<CanvasCall> out;
    for (const auto& c : calls)
      if (c.kind == kind) out.push_back(c);
    return out;
  }
  std::vector<CanvasCall> fill_rects() const { return of(CanvasCall::Kind::FillRect); }
  std::vector<CanvasCall> polygons() const { return of(CanvasCall::Kind::Polygon); }
  std::vector<CanvasCall> ellipses() const { return of(CanvasCall::Kind::Ellipse); }
  std::vector<CanvasCall> texts() const { return of(CanvasCall::Kind::TextOut); }

  std::vector<CanvasCall> calls;

 private:
  std::int32_t width_;
  std::int32_t height_;
};

// Four corners and the first again, as every drawer passes them.
inline std::vector<Point> closed(Point a, Point b, Point c, Point d) {
  return {a, b, c, d, a};
}

}  // namespace lumigrid::testing
