// The drawing surface against Qt's raster painter (QImage RGB32, antialiasing off) on the call
// streams the drawers issue: the finest square grid on a 4K screen, a tilted grid, the rings of
// an A4 page at 600 dpi, and a whole-surface fill as the floor.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "surface/surface.h"

#ifdef LUMIGRID_BENCH_QT
#include <QImage>
#include <QPainter>
#include <QPen>
#endif

namespace {

using lumigrid::PixelFormat;
using lumigrid::Point;
using lumigrid::Surface;

constexpr int kScreenW = 3840, kScreenH = 2160;
constexpr int kPageW = 7016, kPageH = 4961;

using Quad = std::vector<Point>;

// The square grid with H = 700, HP = 0.3: about 333,000 squares of 3 x 3 pixels.
std::vector<Quad> square_grid() {
  const int h = 700;
  const int cell = kScreenW / h;
  const int half = int(std::trunc(cell * (1 - double(0.3f)) / 2));
  const int cols = int(std::nearbyint(double(kScreenW) / cell));
  const int rows = int(std::nearbyint(double(cols) * kScreenH / kScreenW));
  std::vector<Quad> quads;
  for (int j = 0; j <= rows; ++j) {
    for (int i = 0; i <= cols; ++i) {
      const int x = i * cell, y = j * cell;
      quads.push_back({{x - half, y - half},
                       {x + half, y - half},
                       {x + half, y + half},
                       {x - half, y + half},
                       {x - half, y - half}});
    }
  }
  return quads;
}

// The tilted grid with H = 200: squares turned by a small angle, the general polygon path.
std::vector<Quad> tilted_grid() {
  const int h = 200;
  const int s = int(std::trunc(double(kScreenW) / h / 2.5));
  const int c = int(std::trunc(s * double(0.2f)));
  const int cell = kScreenW / h;
  const int rows = int(std::nearbyint(double(h) * kScreenH / kScreenW));
  std::vector<Quad> quads;
  for (int j = 0; j <= rows; ++j) {
    for (int i = 0; i <= h; ++i) {
      const int x = i * cell, y = j * cell;
      quads.push_back({{x - s + c, y - s},
                       {x + s, y - s + c},
                       {x + s - c, y + s},
                       {x - s, y + s - c},
                       {x - s + c, y - s}});
    }
  }
  return quads;
}

struct Ring {
  int cx, cy, r, pen_width;
};

// The A4 page with Space 100, Pitch 8, Pitch2 50: 3,550 tiles of three rings each.
std::vector<Ring> page_rings() {
  const int space = 100, pitch = 8, pitch2 = 50;
  std::vector<Ring> rings;
  for (int row = 0; row * space <= kPageH; ++row) {
    for (int col = 0; col * space <= kPageW; ++col) {
      const int cx = space / 2 + col * space, cy = space / 2 + row * space;
      int r = int(std::nearbyint(space / 1.414));
      const float n = float(r / ((pitch + pitch2) / 2.0));
      const float step = float((pitch2 - pitch) / double(n));
      float w = float(pitch);
      int pen = pitch / 2;
      while (r > 0) {
        rings.push_back({cx, cy, r, pen});
        pen = int(std::nearbyint(double(w) / 2));
        r -= int(std::nearbyint(double(w)));
        w = float(double(w) + double(step));
      }
    }
  }
  return rings;
}

// Pattern 3 at its finest on a 4K screen: Space 10, Pitch 4, pen width 2; some 250,000 rings.
std::vector<Ring> screen_circles() {
  const int space = 10, pitch = 4;
  std::vector<Ring> rings;
  for (int row = 0; row * space <= kScreenH; ++row) {
    for (int col = 0; col * space <= kScreenW; ++col) {
      const int cx = col * space + space / 2, cy = row * space + space / 2;
      for (int r = int(std::nearbyint(space / 1.414)); r > 0; r -= pitch) {
        rings.push_back({cx, cy, r, pitch / 2});
      }
    }
  }
  return rings;
}

void SurfacePolygons(benchmark::State& state, const std::vector<Quad>& quads) {
  Surface surface(kScreenW, kScreenH, PixelFormat::Rgb32, lumigrid::kWhite);
  surface.setPenColour(lumigrid::kBlack);
  surface.setBrushColour(lumigrid::kBlack);
  surface.setPenWidth(1);
  for (auto _ : state) {
    for (const Quad& q : quads) surface.Polygon(q);
    benchmark::DoNotOptimize(surface.data());
  }
  state.SetItemsProcessed(state.iterations() * std::int64_t(quads.size()));
}

void SurfaceRings(benchmark::State& state, const std::vector<Ring>& rings, int width, int height,
                  PixelFormat format) {
  Surface page(width, height, format, lumigrid::kWhite);
  page.setPenColour(lumigrid::kBlack);
  page.setBrushColour(lumigrid::kWhite);
  for (auto _ : state) {
    for (const Ring& ring : rings) {
      page.setPenWidth(ring.pen_width);
      page.Ellipse(ring.cx - ring.r, ring.cy - ring.r, ring.cx + ring.r, ring.cy + ring.r);
    }
    benchmark::DoNotOptimize(page.data());
  }
  state.SetItemsProcessed(state.iterations() * std::int64_t(rings.size()));
}

void BM_Surface_SquareGrid700(benchmark::State& state) {
  static const std::vector<Quad> quads = square_grid();
  SurfacePolygons(state, quads);
}
BENCHMARK(BM_Surface_SquareGrid700)->Unit(benchmark::kMillisecond);

void BM_Surface_TiltedGrid200(benchmark::State& state) {
  static const std::vector<Quad> quads = tilted_grid();
  SurfacePolygons(state, quads);
}
BENCHMARK(BM_Surface_TiltedGrid200)->Unit(benchmark::kMillisecond);

void BM_Surface_A4Rings_Rgb32(benchmark::State& state) {
  SurfaceRings(state, page_rings(), kPageW, kPageH, PixelFormat::Rgb32);
}
BENCHMARK(BM_Surface_A4Rings_Rgb32)->Unit(benchmark::kMillisecond);

void BM_Surface_A4Rings_Gray8(benchmark::State& state) {
  SurfaceRings(state, page_rings(), kPageW, kPageH, PixelFormat::Gray8);
}
BENCHMARK(BM_Surface_A4Rings_Gray8)->Unit(benchmark::kMillisecond);

void BM_Surface_ScreenCircles(benchmark::State& state) {
  SurfaceRings(state, screen_circles(), kScreenW, kScreenH, PixelFormat::Rgb32);
}
BENCHMARK(BM_Surface_ScreenCircles)->Unit(benchmark::kMillisecond);

void BM_Surface_FillScreen(benchmark::State& state) {
  Surface surface(kScreenW, kScreenH, PixelFormat::Rgb32, lumigrid::kWhite);
  std::uint32_t colour = 0;
  for (auto _ : state) {
    surface.setBrushColour(colour++ & 0xFFFFFF);
    surface.FillRect(0, 0, kScreenW, kScreenH);
    benchmark::DoNotOptimize(surface.data());
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(kScreenW) * kScreenH * 4);
}
BENCHMARK(BM_Surface_FillScreen)->Unit(benchmark::kMillisecond);

#ifdef LUMIGRID_BENCH_QT

void QtPolygons(benchmark::State& state, const std::vector<Quad>& quads) {
  QImage image(kScreenW, kScreenH, QImage::Format_RGB32);
  image.fill(Qt::white);
  std::vector<std::vector<QPoint>> qt_quads;
  for (const Quad& q : quads) {
    std::vector<QPoint> points;
    for (const Point p : q) points.emplace_back(p.x, p.y);
    qt_quads.push_back(std::move(points));
  }
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::black);
    for (const auto& q : qt_quads) painter.drawPolygon(q.data(), int(q.size()), Qt::OddEvenFill);
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
  state.SetItemsProcessed(state.iterations() * std::int64_t(quads.size()));
}

void BM_QPainter_SquareGrid700(benchmark::State& state) {
  static const std::vector<Quad> quads = square_grid();
  QtPolygons(state, quads);
}
BENCHMARK(BM_QPainter_SquareGrid700)->Unit(benchmark::kMillisecond);

void BM_QPainter_TiltedGrid200(benchmark::State& state) {
  static const std::vector<Quad> quads = tilted_grid();
  QtPolygons(state, quads);
}
BENCHMARK(BM_QPainter_TiltedGrid200)->Unit(benchmark::kMillisecond);

void QtRings(benchmark::State& state, const std::vector<Ring>& rings, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::white);
    for (const Ring& ring : rings) {
      painter.setPen(QPen(Qt::black, ring.pen_width));
      painter.drawEllipse(QRect(ring.cx - ring.r, ring.cy - ring.r, 2 * ring.r, 2 * ring.r));
    }
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
  state.SetItemsProcessed(state.iterations() * std::int64_t(rings.size()));
}

void BM_QPainter_A4Rings_Rgb32(benchmark::State& state) {
  QtRings(state, page_rings(), kPageW, kPageH);
}
BENCHMARK(BM_QPainter_A4Rings_Rgb32)->Unit(benchmark::kMillisecond);

void BM_QPainter_ScreenCircles(benchmark::State& state) {
  QtRings(state, screen_circles(), kScreenW, kScreenH);
}
BENCHMARK(BM_QPainter_ScreenCircles)->Unit(benchmark::kMillisecond);

void BM_QPainter_FillScreen(benchmark::State& state) {
  QImage image(kScreenW, kScreenH, QImage::Format_RGB32);
  std::uint32_t colour = 0;
  for (auto _ : state) {
    QPainter painter(&image);
    painter.fillRect(0, 0, kScreenW, kScreenH, QColor::fromRgb(colour++ & 0xFFFFFF));
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(kScreenW) * kScreenH * 4);
}
BENCHMARK(BM_QPainter_FillScreen)->Unit(benchmark::kMillisecond);

#endif

}  // namespace

BENCHMARK_MAIN();
