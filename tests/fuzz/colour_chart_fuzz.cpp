// Colour-chart sections: any settings file is drawn as the chart window draws patterns 1 and 6,
// stepping through the sections, on a real surface. The errors the window shows (division by
// zero for a chart of no columns or rows) are allowed; anything else escaping, a crash or a hang
// is a fault, and so is a drawing with more operations than the surface has room to show.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "base/errors.h"
#include "patterns/chart_painter.h"
#include "surface/surface.h"

namespace {

namespace fs = std::filesystem;

// Paints on a surface with the tools set on it, counting the operations.
class CountingCanvas final : public lumigrid::Canvas {
 public:
  explicit CountingCanvas(lumigrid::Surface& surface) : surface_(surface) {}

  std::int32_t width() const override { return surface_.width(); }
  std::int32_t height() const override { return surface_.height(); }
  void FillRect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) override {
    use_tools();
    surface_.FillRect(l, t, r, b);
  }
  void Polygon(std::span<const lumigrid::Point> points) override {
    use_tools();
    surface_.Polygon(points);
  }
  void Ellipse(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override {
    use_tools();
    surface_.Ellipse(x1, y1, x2, y2);
  }
  void TextOut(std::int32_t x, std::int32_t y, std::string_view text) override {
    use_tools();
    surface_.TextOut(x, y, text);
  }

  std::uint64_t operations = 0;

 private:
  void use_tools() {
    ++operations;
    surface_.setPenColour(tools().pen_colour);
    surface_.setPenWidth(tools().pen_width);
    surface_.setBrushColour(tools().brush_colour);
    surface_.setFontColour(tools().font_colour);
    surface_.setFontSize(tools().font_size_points);
  }

  lumigrid::Surface& surface_;
};

// The settings file in a folder of this process on a memory file system when there is one,
// removed when the fuzzer ends.
struct ScratchFolder {
  ScratchFolder() {
    const fs::path base =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    path = base / ("lumigrid-fuzz-chart-" + std::to_string(::getpid()));
    fs::create_directories(path);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  fs::path path;
};

fs::path settings_file() {
  static const ScratchFolder folder;
  return folder.path / "lumigrid.INI";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::ofstream out(settings_file(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  }
  lumigrid::Surface surface(157, 83, lumigrid::PixelFormat::Rgb32);
  CountingCanvas canvas(surface);
  lumigrid::ChartState state;
  // Each patch is a block and at most a label; the patches that can show are bounded by the
  // surface's pixels along each axis.
  const std::uint64_t most = 2 * std::uint64_t(surface.width() + 2) * (surface.height() + 2) + 8;
  for (const char separator : {'.', ','}) {
    lumigrid::ChartPainter painter(canvas, state, settings_file(), {}, separator);
    for (const std::int32_t pattern : {1, 6, 1, 6}) {
      canvas.operations = 0;
      try {
        painter.image_Pattern(pattern);
      } catch (const lumigrid::Error&) {
      }
      if (canvas.operations > most) {
        std::fprintf(stderr, "colour chart fault: %llu operations\n",
                     static_cast<unsigned long long>(canvas.operations));
        std::abort();
      }
    }
  }
  return 0;
}
