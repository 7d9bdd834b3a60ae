#include <gif_lib.h>
#include <gtest/gtest.h>

#include <set>

#include "export/image_export.h"
#include "export_test_support.h"

namespace lumigrid {
namespace {

using testing_support::put_pixel;
using testing_support::Rgb;
using testing_support::rgb_at;
using testing_support::ScratchFolder;

struct DecodedGif {
  int width = 0, height = 0, images = 0, extensions = 0;
  std::vector<Rgb> palette;
  std::vector<Rgb> pixels;
};

DecodedGif decode(const std::filesystem::path& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  EXPECT_NE(gif, nullptr) << GifErrorString(error);
  DecodedGif d;
  if (gif == nullptr) return d;
  EXPECT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
  d.width = gif->SWidth;
  d.height = gif->SHeight;
  d.images = gif->ImageCount;
  d.extensions = gif->ExtensionBlockCount;
  if (gif->ImageCount >= 1) {
    const SavedImage& image = gif->SavedImages[0];
    d.extensions += image.ExtensionBlockCount;
    const ColorMapObject* map =
        image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    EXPECT_NE(map, nullptr);
    for (int i = 0; map && i < map->ColorCount; ++i) {
      d.palette.push_back({map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
    }
    const int w = image.ImageDesc.Width, h = image.ImageDesc.Height;
    for (int i = 0; map && i < w * h; ++i) {
      const int index = image.RasterBits[i];
      EXPECT_LT(index, map->ColorCount);
      d.pixels.push_back(d.palette[std::size_t(index) % d.palette.size()]);
    }
  }
  DGifCloseFile(gif, &error);
  return d;
}

std::uint32_t key(Rgb c) {
  return std::uint32_t(c.r) << 16 | std::uint32_t(c.g) << 8 | c.b;
}

// `count` distinct colours laid out in a 16-wide grid of 3 x 2 blocks.
Surface few_colours(int count) {
  const int columns = 16, rows = (count + columns - 1) / columns;
  Surface s(columns * 3, rows * 2, PixelFormat::Rgb32, kWhite);
  for (int i = 0; i < columns * rows; ++i) {
    const int n = i % count;
    const std::uint32_t colour =
        std::uint32_t(n * 37 % 256) << 16 | std::uint32_t(n) << 8 | std::uint32_t(255 - n);
    for (int dy = 0; dy < 2; ++dy) {
      for (int dx = 0; dx < 3; ++dx)
        put_pixel(s, (i % columns) * 3 + dx, (i / columns) * 2 + dy, colour);
    }
  }
  return s;
}

// Saves `surface` as GIF and reads it back: one image of the surface's size.
DecodedGif save_and_decode(const Surface& surface) {
  ScratchFolder folder;
  const auto path = folder.path() / "out.gif";
  save_image(surface, path);
  DecodedGif d = decode(path);
  EXPECT_EQ(d.width, surface.width());
  EXPECT_EQ(d.height, surface.height());
  EXPECT_EQ(d.images, 1);
  return d;
}

struct ExactCase {
  const char* row;
  Surface (*make)();
};

class GifExactPalette : public ::testing::TestWithParam<ExactCase> {};

// Pictures of at most 256 colours keep every pixel, and the palette holds only their colours.
TEST_P(GifExactPalette, EveryPixelKeptAndPaletteHoldsOnlyThePicturesColours) {
  const Surface surface = GetParam().make();
  const DecodedGif d = save_and_decode(surface);
  ASSERT_FALSE(HasFailure());  // the pixel checks below need the surface's size
  EXPECT_EQ(d.extensions, 0);  // no transparency or animation blocks
  EXPECT_LE(d.palette.size(), 256u);

  std::set<std::uint32_t> picture_colours, palette_colours;
  for (const Rgb& c : d.palette) palette_colours.insert(key(c));
  ASSERT_EQ(d.pixels.size(), std::size_t(surface.width()) * std::size_t(surface.height()));
  for (std::int32_t y = 0; y < surface.height(); ++y) {
    for (std::int32_t x = 0; x < surface.width(); ++x) {
      const Rgb want = rgb_at(surface, x, y);
      picture_colours.insert(key(want));
      ASSERT_EQ(d.pixels[std::size_t(y) * std::size_t(surface.width()) + std::size_t(x)], want)
          << "x " << x << " y " << y;
    }
  }
  EXPECT_EQ(palette_colours, picture_colours);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, GifExactPalette,
    ::testing::Values(
        ExactCase{"page",
                  [] { return testing_support::page_like_surface(PixelFormat::Gray8, 37, 11); }},
        ExactCase{"grey_levels",
                  [] { return testing_support::gradient_surface(PixelFormat::Gray8, 300, 5); }},
        ExactCase{"window_black_white",
                  [] { return testing_support::page_like_surface(PixelFormat::Rgb32, 30, 8); }},
        ExactCase{"one_colour", [] { return Surface(5, 4, PixelFormat::Rgb32, 0x336699); }},
        ExactCase{"white_page", [] { return Surface(40, 3, PixelFormat::Gray8, kWhite); }},
        ExactCase{"black_page", [] { return Surface(40, 3, PixelFormat::Gray8, kBlack); }},
        ExactCase{"page_white_run_then_grey",
                  [] {
                    Surface s(19, 2, PixelFormat::Gray8, kWhite);
                    testing_support::put_pixel(s, 17, 1, 0x80);
                    return s;
                  }},
        ExactCase{"three_colours", [] { return few_colours(3); }},
        ExactCase{"200_colours", [] { return few_colours(200); }},
        ExactCase{"256_colours", [] { return few_colours(256); }}),
    [](const auto& row) { return row.param.row; });

struct AdaptiveCase {
  const char* row;
  Surface (*make)();
  double block_tolerance;  // mean error of 4 x 4 block averages, per channel
};

class GifAdaptivePalette : public ::testing::TestWithParam<AdaptiveCase> {};

// Beyond 256 colours the palette is computed from the picture and dithering keeps the local
// averages of the colours.
TEST_P(GifAdaptivePalette, AtMost256EntriesAndLocalAveragesKept) {
  const Surface surface = GetParam().make();
  const DecodedGif d = save_and_decode(surface);
  ASSERT_FALSE(HasFailure());  // the pixel checks below need the surface's size
  EXPECT_LE(d.palette.size(), 256u);
  ASSERT_EQ(d.pixels.size(), std::size_t(surface.width()) * std::size_t(surface.height()));

  double total = 0;
  int blocks = 0;
  for (std::int32_t by = 0; by + 4 <= surface.height(); by += 4) {
    for (std::int32_t bx = 0; bx + 4 <= surface.width(); bx += 4) {
      int want[3] = {0, 0, 0}, got[3] = {0, 0, 0};
      for (int y = by; y < by + 4; ++y) {
        for (int x = bx; x < bx + 4; ++x) {
          const Rgb w = rgb_at(surface, x, y);
          const Rgb g = d.pixels[std::size_t(y) * std::size_t(surface.width()) + std::size_t(x)];
          want[0] += w.r, want[1] += w.g, want[2] += w.b;
          got[0] += g.r, got[1] += g.g, got[2] += g.b;
        }
      }
      for (int c = 0; c < 3; ++c) total += std::abs(want[c] - got[c]) / 16.0;
      ++blocks;
    }
  }
  EXPECT_LT(total / (blocks * 3), GetParam().block_tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, GifAdaptivePalette,
    ::testing::Values(
        AdaptiveCase{"gradient",
                     [] { return testing_support::gradient_surface(PixelFormat::Rgb32, 256, 96); },
                     4.0},
        AdaptiveCase{"257_colours", [] { return few_colours(257); }, 4.0},
        AdaptiveCase{"noise", [] { return testing_support::noise_surface(64, 64, 3); }, 24.0}),
    [](const auto& row) { return row.param.row; });

}  // namespace
}  // namespace lumigrid
