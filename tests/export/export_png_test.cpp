#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <zlib.h>

#include <csignal>
#include <cstring>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "base/errors.h"
#include "export/image_export.h"
#include "export/png_segments.h"
#include "export/png_writer.h"
#include "export_test_support.h"

namespace lumigrid {
namespace {

using testing_support::read_bytes;
using testing_support::rgb_at;
using testing_support::ScratchFolder;
using testing_support::write_file;

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

// Inflates one zlib stream, which must end exactly where the data ends.
std::vector<std::uint8_t> inflate_all(const std::vector<std::uint8_t>& compressed,
                                      std::size_t expected_size) {
  std::vector<std::uint8_t> out(expected_size + 1);
  z_stream z{};
  EXPECT_EQ(inflateInit(&z), Z_OK);
  z.next_in = const_cast<Bytef*>(compressed.data());
  z.avail_in = uInt(compressed.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the zlib stream";
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

using export_detail::PngTuning;

// Writes as save_image does, with the encoder's settings given.
void save_png(const Surface& surface, const std::filesystem::path& path, const PngTuning& tuning,
              const ProgressCallback& progress = {}) {
  export_detail::AtomicFile file(path);
  export_detail::ProgressPacer pacer(progress, std::uint64_t(surface.height()));
  export_detail::write_png(SurfaceRows(surface), file, pacer, tuning);
  file.commit();
  pacer.finish();
}

// Small segments, so that small pictures take the path large pages take.
PngTuning segmented(unsigned threads) {
  PngTuning tuning;
  tuning.threads = threads;
  tuning.single_stream_below = 0;
  tuning.plain_segment_bytes = 2000;
  tuning.periodic_segment_bytes = 3000;
  return tuning;
}

// Rows repeating every `period` rows under a few rows of their own, like tiles under a caption.
Surface tiled_surface(PixelFormat format, std::int32_t width, std::int32_t height,
                      std::int32_t period) {
  Surface s(width, height, format);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const std::int32_t t = y % period;
      const bool black = (x * x + t * t * 3) % 11 < 4 || (y < 3 && x < width / 2);
      testing_support::put_pixel(s, x, y, black ? 0x000000u : (x % 3 ? 0xFFFFFFu : 0x8040C0u));
    }
  }
  return s;
}

struct PngCase {
  const char* row;
  Surface (*make)();
  PngTuning tuning;
};

class PngEncoding : public ::testing::TestWithParam<PngCase> {};

TEST_P(PngEncoding, OnlyIhdrIdatIendWithSubFilterAndOneZlibStream) {
  ScratchFolder folder;
  const auto path = folder.path() / "out.png";
  const Surface surface = GetParam().make();
  save_png(surface, path, GetParam().tuning);
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
  save_png(surface, path, GetParam().tuning);

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
    ::testing::Values(
        PngCase{"window_noise_many_idats",
                [] { return testing_support::noise_surface(160, 150, 7); }, PngTuning{}},
        PngCase{"window_gradient",
                [] { return testing_support::gradient_surface(PixelFormat::Rgb32, 33, 17); },
                PngTuning{}},
        PngCase{"page",
                [] { return testing_support::page_like_surface(PixelFormat::Gray8, 41, 9); },
                PngTuning{}},
        PngCase{"grey_gradient",
                [] { return testing_support::gradient_surface(PixelFormat::Gray8, 20, 20); },
                PngTuning{}},
        PngCase{"one_pixel", [] { return Surface(1, 1, PixelFormat::Gray8, kBlack); }, PngTuning{}},
        PngCase{"segments_noise_no_period",
                [] { return testing_support::noise_surface(160, 150, 7); }, segmented(3)},
        PngCase{"segments_period_not_dividing_height",
                [] { return tiled_surface(PixelFormat::Gray8, 1200, 7 * 23 + 4, 7); },
                segmented(3)},
        PngCase{"segments_period_in_parts_rgb",
                [] { return tiled_surface(PixelFormat::Rgb32, 400, 40 * 5 + 9, 40); },
                segmented(2)},
        PngCase{"segments_blank_page", [] { return Surface(70, 300, PixelFormat::Gray8, kWhite); },
                segmented(2)},
        PngCase{"segments_one_pixel_column",
                [] { return tiled_surface(PixelFormat::Gray8, 1, 3000, 9); }, segmented(2)}),
    [](const auto& row) { return row.param.row; });

// Which thread compresses which segment never shows in the file.
struct ThreadCase {
  const char* row;
  Surface (*make)();
};

class PngThreads : public ::testing::TestWithParam<ThreadCase> {};

TEST_P(PngThreads, SameBytesForAnyNumberOfThreads) {
  ScratchFolder folder;
  const Surface surface = GetParam().make();
  save_png(surface, folder.path() / "one.png", segmented(1));
  const auto one = read_bytes(folder.path() / "one.png");
  for (const unsigned threads : {2u, 3u, 8u}) {
    const auto path = folder.path() / ("n" + std::to_string(threads) + ".png");
    save_png(surface, path, segmented(threads));
    EXPECT_TRUE(read_bytes(path) == one) << threads << " threads";
  }
  // Equal segments compressed again rather than kept give the same bytes too.
  PngTuning nothing_kept = segmented(2);
  nothing_kept.reuse_budget_bytes = 0;
  save_png(surface, folder.path() / "nothing_kept.png", nothing_kept);
  EXPECT_TRUE(read_bytes(folder.path() / "nothing_kept.png") == one);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, PngThreads,
    ::testing::Values(
        ThreadCase{"noise", [] { return testing_support::noise_surface(120, 200, 3); }},
        ThreadCase{"tiles", [] { return tiled_surface(PixelFormat::Gray8, 1000, 400, 13); }}),
    [](const auto& row) { return row.param.row; });

// The period decides where segments begin, so that the segments of one period find their equals
// in the next.
struct PeriodCase {
  const char* row;
  std::vector<std::uint64_t> hashes;
  std::int32_t period;
};

std::vector<std::uint64_t> hash_rows(std::size_t height, std::uint64_t (*row)(std::size_t)) {
  std::vector<std::uint64_t> hashes(height);
  for (std::size_t y = 0; y < height; ++y) hashes[y] = row(y);
  return hashes;
}

class PeriodSearch : public ::testing::TestWithParam<PeriodCase> {};

TEST_P(PeriodSearch, FindsTheRepeatOfTheRows) {
  EXPECT_EQ(export_detail::find_period(GetParam().hashes), GetParam().period);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PeriodSearch,
    ::testing::Values(
        PeriodCase{"tiles_under_a_caption",
                   hash_rows(1050, [](std::size_t y) { return y < 30 ? 1000 + y : y % 100; }), 100},
        PeriodCase{"period_not_dividing_height",
                   hash_rows(7 * 20 + 3, [](std::size_t y) { return y % 7; }), 7},
        PeriodCase{"runs_of_equal_rows_keep_the_tile_period",
                   hash_rows(400, [](std::size_t y) { return y % 40 / 8; }), 40},
        PeriodCase{"blank", hash_rows(50, [](std::size_t) { return std::uint64_t(5); }), 1},
        PeriodCase{"no_repeat", hash_rows(500, [](std::size_t y) { return y; }), 0},
        PeriodCase{"repeat_longer_than_half", hash_rows(100, [](std::size_t y) { return y % 60; }),
                   0},
        PeriodCase{"too_few_rows", hash_rows(3, [](std::size_t) { return std::uint64_t(1); }), 0}),
    [](const auto& row) { return row.param.row; });

TEST(SegmentPlan, SegmentsAlignToThePeriodAndRepeatsPointBack) {
  // Wide rows, so that the 32 KiB a segment is primed with spans only a few of them.
  const Surface surface = tiled_surface(PixelFormat::Gray8, 3000, 7 * 23 + 4, 7);
  const auto hashes = export_detail::row_hashes(SurfaceRows(surface), 2);
  PngTuning tuning = segmented(2);
  tuning.periodic_segment_bytes = 100000;  // about eleven rows: one whole period a segment
  const auto plan = export_detail::plan_segments(SurfaceRows(surface), hashes, tuning, 2);
  ASSERT_EQ(plan.period, 7);
  ASSERT_GE(plan.size(), 3u);
  EXPECT_EQ(plan.starts.front(), 0);
  EXPECT_EQ(plan.starts.back(), surface.height());
  std::size_t repeats = 0;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    EXPECT_EQ(plan.beginRow(i) % 7, 0) << "segment " << i;
    EXPECT_LT(plan.beginRow(i), plan.endRow(i));
    EXPECT_LE(plan.source[i], i);
    repeats += plan.source[i] != i;
  }
  // All but the one with the caption, the first without it and the short last.
  EXPECT_EQ(repeats, plan.size() - 3);
  EXPECT_EQ(plan.source.back(), plan.size() - 1);
}

// Equal hashes alone do not make segments equal: their pixels are compared.
TEST(SegmentPlan, EqualHashesOfDifferentRowsAreNotTakenForRepeats) {
  const Surface surface = testing_support::noise_surface(50, 200, 11);
  const std::vector<std::uint64_t> colliding(200, 42);
  const auto plan = export_detail::plan_segments(SurfaceRows(surface), colliding, segmented(2), 2);
  ASSERT_GT(plan.size(), 1u);
  for (std::size_t i = 0; i < plan.size(); ++i) EXPECT_EQ(plan.source[i], i);
}

// A failure on any thread half-way through leaves the file that was there and nothing else.
struct FailureCase {
  const char* row;
  void (*fail)(std::size_t segment);
  bool limit_file_size;
  // The end of the message, "other: " and the message of another exception, or "no memory" for
  // the memory failure message.
  const char* reason;
};

class PngFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(PngFailure, HalfWayKeepsTheOldFile) {
  ScratchFolder folder;
  const auto path = folder.path() / "out.png";
  write_file(path, "old contents");
  const Surface surface = testing_support::noise_surface(120, 300, 5);
  PngTuning tuning = segmented(3);
  tuning.before_segment = GetParam().fail;

  rlimit old_limit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  if (GetParam().limit_file_size) {
    rlimit small = old_limit;
    small.rlim_cur = 40000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  }
  std::string message = "no error";
  try {
    save_png(surface, path, tuning);
  } catch (const WriteError& e) {
    message = e.what();
  } catch (const std::exception& e) {
    message = std::string("other: ") + e.what();
  }
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);

  const std::string reason = GetParam().reason;
  if (reason == "no memory") {
    EXPECT_EQ(message, "Not enough memory to write " + path.string());
  } else {
    EXPECT_EQ(message, reason.rfind("other: ", 0) == 0
                           ? reason
                           : "Unable to write to " + path.string() + ": " + reason);
  }
  const auto bytes = read_bytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "old contents");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.png"});
}

INSTANTIATE_TEST_SUITE_P(
    Failures, PngFailure,
    ::testing::Values(FailureCase{"worker_error",
                                  [](std::size_t i) {
                                    if (i == 40) throw std::runtime_error("lost");
                                  },
                                  false, "other: lost"},
                      FailureCase{"worker_out_of_memory",
                                  [](std::size_t i) {
                                    if (i == 40) throw std::bad_alloc();
                                  },
                                  false, "no memory"},
                      FailureCase{"worker_thread_refused",
                                  [](std::size_t i) {
                                    if (i == 40)
                                      throw std::system_error(std::make_error_code(
                                          std::errc::resource_unavailable_try_again));
                                  },
                                  false, "no memory"},
                      FailureCase{"file_size_limit", nullptr, true, "File too large"}),
    [](const auto& row) { return row.param.row; });

// The operator's progress bar is driven from the thread that saves, never from a compressor.
TEST(PngProgress, ReportedOnTheCallingThreadUpToOne) {
  ScratchFolder folder;
  std::vector<double> fractions;
  bool other_thread = false;
  const auto caller = std::this_thread::get_id();
  save_png(testing_support::noise_surface(100, 400, 9), folder.path() / "p.png", segmented(3),
           [&](double f) {
             other_thread |= std::this_thread::get_id() != caller;
             fractions.push_back(f);
           });
  EXPECT_FALSE(other_thread);
  ASSERT_GE(fractions.size(), 10u);
  EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
  EXPECT_EQ(fractions.back(), 1.0);
}

TEST(PngEncodingSplit, LargeDataIsSplitIntoSeveralIdats) {
  ScratchFolder folder;
  save_image(testing_support::noise_surface(160, 150, 7), folder.path() / "a.png");
  const auto chunks = chunks_of(read_bytes(folder.path() / "a.png"));
  EXPECT_GE(chunks.size(), 4u);  // the noise does not compress below two chunks
  EXPECT_EQ(chunks[1].data.size(), 65535u);
}

}  // namespace
}  // namespace lumigrid
