// Showing a page at a scale: which page pixels a shown pixel takes, and that a reduced page
// shows the mean grey of what it covers.
#include <QtTest>
#include <cstdint>
#include <vector>

#include "page/page_view.h"
#include "surface/surface.h"

namespace {

constexpr std::uint8_t kBlackLevel = 0;
constexpr std::uint8_t kWhiteLevel = 255;
constexpr std::uint8_t kUntouched = 77;

lumigrid::Surface white_page(int width, int height) {
  return lumigrid::Surface(width, height, lumigrid::PixelFormat::Gray8, lumigrid::kWhite);
}

void paint_black(lumigrid::Surface& page, int x, int y) {
  page.rowData(y)[x] = kBlackLevel;
}

// The shown image as rows of bytes, every pixel first marked untouched.
std::vector<std::uint8_t> render(const lumigrid::PageView& view, int shown_width, int shown_height,
                                 const lumigrid::ViewRect& area) {
  std::vector<std::uint8_t> out(std::size_t(area.width) * std::size_t(area.height), kUntouched);
  view.render(shown_width, shown_height, area, out.data(), std::size_t(area.width));
  return out;
}

// The shown pixels that are black, as "x,y" in the shown image's coordinates.
QStringList black_pixels(const std::vector<std::uint8_t>& out, const lumigrid::ViewRect& area) {
  QStringList found;
  for (int y = 0; y < area.height; ++y) {
    for (int x = 0; x < area.width; ++x) {
      if (out[std::size_t(y) * std::size_t(area.width) + std::size_t(x)] == kBlackLevel) {
        found << QString("%1,%2").arg(area.left + x).arg(area.top + y);
      }
    }
  }
  return found;
}

}  // namespace

class PageSamplingTest : public QObject {
  Q_OBJECT

 private slots:
  void one_black_pixel_data();
  void one_black_pixel();
  void only_the_area_is_written();
  void reduction_shows_mean_grey_data();
  void reduction_shows_mean_grey();
  void fine_stripes_reduce_to_even_grey_data();
  void fine_stripes_reduce_to_even_grey();
  void page_without_pixels_shows_nothing();
};

void PageSamplingTest::one_black_pixel_data() {
  QTest::addColumn<int>("shown_width");
  QTest::addColumn<int>("shown_height");
  QTest::addColumn<QStringList>("black");
  // A 64 x 64 page with one black pixel at (37, 30).
  QTest::newRow("one to one") << 64 << 64 << QStringList{"37,30"};
  QTest::newRow("enlarged twice") << 128 << 128 << QStringList{"74,60", "75,60", "74,61", "75,61"};
  QTest::newRow("enlarged unevenly")
      << 100 << 100 << QStringList{"58,47", "59,47", "58,48", "59,48"};
}

void PageSamplingTest::one_black_pixel() {
  QFETCH(int, shown_width);
  QFETCH(int, shown_height);
  QFETCH(QStringList, black);
  lumigrid::Surface page = white_page(64, 64);
  paint_black(page, 37, 30);
  const lumigrid::SurfacePixels pixels(page);
  const lumigrid::PageView view(pixels);
  const lumigrid::ViewRect all{0, 0, shown_width, shown_height};
  const std::vector<std::uint8_t> out = render(view, shown_width, shown_height, all);
  QCOMPARE(black_pixels(out, all), black);
  for (std::uint8_t level : out) QVERIFY(level == kBlackLevel || level == kWhiteLevel);
}

void PageSamplingTest::only_the_area_is_written() {
  lumigrid::Surface page = white_page(20, 10);
  paint_black(page, 15, 8);
  const lumigrid::SurfacePixels pixels(page);
  const lumigrid::PageView view(pixels);
  // An area that reaches past the shown image's right and bottom edges.
  const lumigrid::ViewRect area{30, 15, 20, 10};
  const std::vector<std::uint8_t> out = render(view, 40, 20, area);
  QCOMPARE(black_pixels(out, area), (QStringList{"30,16", "31,16", "30,17", "31,17"}));
  int untouched = 0;
  for (int y = 0; y < area.height; ++y) {
    for (int x = 0; x < area.width; ++x) {
      const bool inside = area.left + x < 40 && area.top + y < 20;
      const std::uint8_t level = out[std::size_t(y) * 20 + std::size_t(x)];
      QCOMPARE(level == kUntouched, !inside);
      untouched += level == kUntouched;
    }
  }
  QVERIFY(untouched > 0);
}

void PageSamplingTest::reduction_shows_mean_grey_data() {
  QTest::addColumn<int>("shown_width");
  QTest::addColumn<int>("shown_height");
  QTest::addColumn<int>("grey_x");
  QTest::addColumn<int>("grey_y");
  QTest::addColumn<int>("grey");
  // A 64 x 64 page with one black pixel at (37, 30): the shown pixel over it takes the mean of
  // its block, every other shown pixel stays white.
  QTest::newRow("halved") << 32 << 32 << 18 << 15 << 191;           // 3 of 4 white
  QTest::newRow("a quarter") << 16 << 16 << 9 << 7 << 239;          // 15 of 16 white
  QTest::newRow("squeezed sideways") << 8 << 64 << 4 << 30 << 223;  // 7 of 8 white
}

void PageSamplingTest::reduction_shows_mean_grey() {
  QFETCH(int, shown_width);
  QFETCH(int, shown_height);
  QFETCH(int, grey_x);
  QFETCH(int, grey_y);
  QFETCH(int, grey);
  lumigrid::Surface page = white_page(64, 64);
  paint_black(page, 37, 30);
  const lumigrid::SurfacePixels pixels(page);
  const lumigrid::PageView view(pixels);
  const lumigrid::ViewRect all{0, 0, shown_width, shown_height};
  const std::vector<std::uint8_t> out = render(view, shown_width, shown_height, all);
  for (int y = 0; y < shown_height; ++y) {
    for (int x = 0; x < shown_width; ++x) {
      const int level = out[std::size_t(y) * std::size_t(shown_width) + std::size_t(x)];
      QCOMPARE(level, x == grey_x && y == grey_y ? grey : int(kWhiteLevel));
    }
  }
}

void PageSamplingTest::fine_stripes_reduce_to_even_grey_data() {
  QTest::addColumn<int>("shown_width");
  QTest::addColumn<int>("shown_height");
  // A 4000 x 3000 page of one-pixel black columns every other pixel, reduced to many sizes
  QTest::newRow("halved") << 2000 << 1500;
  QTest::newRow("a fifth") << 800 << 600;
  QTest::newRow("fit to a window") << 963 << 722;
  QTest::newRow("a hundredth") << 40 << 30;
  QTest::newRow("a thousandth") << 4 << 3;
}

void PageSamplingTest::fine_stripes_reduce_to_even_grey() {
  QFETCH(int, shown_width);
  QFETCH(int, shown_height);
  lumigrid::Surface page = white_page(4000, 3000);
  for (int y = 0; y < 3000; ++y) {
    for (int x = 0; x < 4000; x += 2) paint_black(page, x, y);
  }
  const lumigrid::SurfacePixels pixels(page);
  const lumigrid::PageView view(pixels);
  const lumigrid::ViewRect all{0, 0, shown_width, shown_height};
  const std::vector<std::uint8_t> out = render(view, shown_width, shown_height, all);
  // Nearest sampling would alias these stripes into solid black or white bands; the mean keeps
  // every shown pixel grey and the whole picture at half density.
  double total = 0;
  for (std::uint8_t level : out) {
    QVERIFY2(level >= 60 && level <= 195, qPrintable(QString("level %1").arg(level)));
    total += level;
  }
  QVERIFY(std::abs(total / double(out.size()) - 127.5) < 4.0);
}

void PageSamplingTest::page_without_pixels_shows_nothing() {
  const lumigrid::Surface page = white_page(0, 600);
  const lumigrid::SurfacePixels pixels(page);
  const lumigrid::PageView view(pixels);
  const lumigrid::ViewRect area{0, 0, 10, 10};
  const std::vector<std::uint8_t> out = render(view, 10, 10, area);
  for (std::uint8_t level : out) QCOMPARE(level, kUntouched);
}

QTEST_GUILESS_MAIN(PageSamplingTest)

#include "page_viewer_sampling_test.moc"
