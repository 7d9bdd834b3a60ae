#pragma once
// A canvas that paints nothing and keeps every call with the tools it was made with.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "surface/canvas.h"

namespace lumigrid::testing {

struct EllipseCall {
  std::int32_t x1, y1, x2, y2;
  DrawingTools tools;
  std::int32_t centre_x() const { return (x1 + x2) / 2; }
  std::int32_t centre_y() const { return (y1 + y2) / 2; }
  std::int32_t radius() const { return (x2 - x1) / 2; }
};

struct FillRectCall {
  std::int32_t left, top, right, bottom;
  DrawingTools tools;
};

struct TextOutCall {
  std::int32_t x, y;
  std::string text;
  DrawingTools tools;
};

class RecordingCanvas final : public Canvas {
 public:
  RecordingCanvas(std::int32_t width, std::int32_t height) : width_(width), height_(height) {}
  std::int32_t width() const override { return width_; }
  std::int32_t height() const override { return height_; }
  void FillRect(std::int32_t left, std::int32_t top, std::int32_t right,
                std::int32_t bottom) override {
    fill_rects.push_back({left, top, right, bottom, tools()});
  }
  void Polygon(std::span<const Point>) override { ++polygons; }
  void Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override {
    ellipses.push_back({x1, y1, x2, y2, tools()});
  }
  void TextOut(std::int32_t x, std::int32_t y, std::string_view text) override {
    texts.push_back({x, y, std::string(text), tools()});
  }

  std::vector<EllipseCall> ellipses;
  std::vector<FillRectCall> fill_rects;
  std::vector<TextOutCall> texts;
  int polygons = 0;

 private:
  std::int32_t width_;
  std::int32_t height_;
};

}  // namespace lumigrid::testing
