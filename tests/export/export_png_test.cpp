#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include "export/image_export.h"
#include "export_test_support.h"

namespace lumigrid {
namespace {

using testing_support::read_bytes;
using testing_support::rgb_at;
using testing_support::ScratchFolder;

std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 |
         std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

struct Chunk {
  std::string type;
  std::vector<std::uint8_t> data;
};

std::vector<Chunk> chunks_of(const std::vector<std::uint8_t>& file) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_TRUE(file.size() >= 8 && std::equal(kSignature, kSignature + 8, file.begin()));
  std::vector<Chunk> chunks;
  std::size_t at = 8;
  while (at + 12 <= file.size()) {
    const std::uint32_t length = be32(file, at);
    if (at + 12 + length > file.size()) break;
    Chunk chunk;
    chunk.type.assign(file.begin() + std::ptrdiff_t(at + 4), file.begin() + std::ptrdiff_t(at + 8));
    chunk.data.assign(file.begin() + std::ptrdiff_t(at + 8),
                      file.begin() + std::ptrdiff_t(at + 8 + length));
    const std::uint32_t crc = std::uint32_t(crc32(0, &file[at + 4], 4 + length));
    EXPECT_EQ(be32(file, at + 8 + length), crc) << chunk.type;
    chunks.push_back(std::move(chunk));
    at += 12 + length;
  }
  EXPECT_EQ(at, file.size());
  return chunks;
}

std::vector<std::uint8_t> inflate_all(const std::vector<std::uint8_t>& compressed,
                                      std::size_t expected_size) {
  std::vector<std::uint8_t> out(expected_size + 1);
  uLongf out_size = uLongf(out.size());
  EXPECT_EQ(uncompress(out.data(), &out_size, compressed.data(), uLong(compressed.size())), Z_OK);
  out.resize(out_size);
  return out;
}

struct PngCase {
  const char* row;
  Surface (*make)();
};

class PngEncoding : public testing::TestWithParam<PngCase> {};

TEST_P(PngEncoding, OnlyIhdrIdatIendWithSubFilterAndSmallIdats) {
  ScratchFolder folder;
  const auto path = folder.path() / "out.png";
  const Surface surface = GetParam().make();
  save_image(surface, path);
  const auto chunks = chunks_of(read_bytes(path));
  ASSERT_GE(chunks.size(), 3u);
  EXPECT_EQ(chunks.front().type, "IHDR");
  EXPECT_EQ(chunks.back().type, "IEND");
  std::vector<std::uint8_t> stream;
  for (std::size_t i = 1; i + 1 < chunks.size(); ++i) {
    EXPECT_EQ(chunks[i].type, "IDAT");
    EXPECT_LE(chunks[i].data.size(), 65535u);
    stream.insert(stream.end(), chunks[i].data.begin(), chunks[i].data.end());
  }
  const auto& ihdr = chunks.front().data;
  ASSERT_EQ(ihdr.size(), 13u);
  EXPECT_EQ(be32(ihdr, 0), std::uint32_t(surface.width()));
  EXPECT_EQ(be32(ihdr, 4), std::uint32_t(surface.height()));
  EXPECT_EQ(ihdr[8], 8);   // bits per channel
  EXPECT_EQ(ihdr[9], 2);   // truecolour, no alpha
  EXPECT_EQ(ihdr[12], 0);  // not interlaced
  // The zlib header's level field reads 3 for levels 7 to 9 (the library default, 6, gives 2).
  ASSERT_GE(stream.size(), 2u);
  EXPECT_EQ(stream[1] >> 6, 3);

  const std::size_t row_bytes = 1 + std::size_t(surface.width()) * 3;
  const auto raw = inflate_all(stream, row_bytes * std::size_t(surface.height()));
  ASSERT_EQ(raw.size(), row_bytes * std::size_t(surface.height()));
  // libpng writes "None" for one-pixel rows, where Sub would store the same bytes.
  const int filter = surface.width() == 1 ? 0 : 1;
  for (std::int32_t y = 0; y < surface.height(); ++y) {
    ASSERT_EQ(raw[std::size_t(y) * row_bytes], filter) << "filter of row " << y;
  }
}

TEST_P(PngEncoding, ReferenceDecoderReadsBackEveryPixel) {
  ScratchFolder folder;
  const auto path = folder.path() / "out.png";
  const Surface surface = GetParam().make();
  save_image(surface, path);

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << image.message;
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;
  ASSERT_EQ(image.width, std::uint32_t(surface.width()));
  ASSERT_EQ(image.height, std::uint32_t(surface.height()));
  for (std::int32_t y = 0; y < surface.height(); ++y) {
    for (std::int32_t x = 0; x < surface.width(); ++x) {
      const std::uint8_t* p = &pixels[(std::size_t(y) * image.width + std::size_t(x)) * 3];
      ASSERT_EQ((testing_support::Rgb{p[0], p[1], p[2]}), rgb_at(surface, x, y))
          << "x " << x << " y " << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, PngEncoding,
    testing::Values(
        PngCase{"window_noise_many_idats",
                [] { return testing_support::noise_surface(160, 150, 7); }},
        PngCase{"window_gradient",
                [] { return testing_support::gradient_surface(PixelFormat::Rgb32, 33, 17); }},
        PngCase{"page",
                [] { return testing_support::page_like_surface(PixelFormat::Gray8, 41, 9); }},
        PngCase{"grey_gradient",
                [] { return testing_support::gradient_surface(PixelFormat::Gray8, 20, 20); }},
        PngCase{"one_pixel", [] { return Surface(1, 1, PixelFormat::Gray8, kBlack); }}),
    [](const auto& info) { return info.param.row; });

TEST(PngEncodingSplit, LargeDataIsSplitIntoSeveralIdats) {
  ScratchFolder folder;
  save_image(testing_support::noise_surface(160, 150, 7), folder.path() / "a.png");
  const auto chunks = chunks_of(read_bytes(folder.path() / "a.png"));
  EXPECT_GE(chunks.size(), 4u);  // the noise does not compress below two chunks
  EXPECT_EQ(chunks[1].data.size(), 65535u);
}

}  // namespace
}  // namespace lumigrid
