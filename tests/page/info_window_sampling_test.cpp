// Showing a page at a scale: which page pixels a shown pixel takes, and that reducing a page
// never loses a thin black line.
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
  void thin_line_survives_every_reduction_data();
  void thin_line_survives_every_reduction();
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
  QTest::newRow("halved") << 32 << 32 << QStringList{"18,15"};
  QTest::newRow("a quarter") << 16 << 16 << QStringList{"9,7"};
  QTest::newRow("three pixels") << 3 << 3 << QStringList{"1,1"};
  QTest::newRow("one pixel") << 1 << 1 << QStringList{"0,0"};
  QTest::newRow("squeezed sideways") << 8 << 64 << QStringList{"4,30"};
}

void PageSamplingTest::one_black_pixel() {
  QFETCH(int, shown_width);
  QFETCH(int, shown_height);
  QFETCH(QStringList, black);
  lumigrid::Surface page = white_page(64, 64);
  paint_black(page, 37, 30);
  const lumigrid::PageView view(page);
  const lumigrid::ViewRect all{0, 0, shown_width, shown_height};
  const std::vector<std::uint8_t> out = render(view, shown_width, shown_height, all);
  QCOMPARE(black_pixels(out, all), black);
  for (std::uint8_t level : out) QVERIFY(level == kBlackLevel || level == kWhiteLevel);
}

void PageSamplingTest::only_the_area_is_written() {
  lumigrid::Surface page = white_page(20, 10);
  paint_black(page, 15, 8);
  const lumigrid::PageView view(page);
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

void PageSamplingTest::thin_line_survives_every_reduction_data() {
  QTest::addColumn<int>("shown_width");
  QTest::addColumn<int>("shown_height");
  // A 4000 x 3000 page with a one-pixel black column at x = 2999, reduced to many sizes.
  QTest::newRow("slightly reduced") << 3001 << 2251;
  QTest::newRow("a fifth") << 800 << 600;
  QTest::newRow("fit to a window") << 963 << 722;
  QTest::newRow("a hundredth") << 40 << 30;
  QTest::newRow("a thousandth") << 4 << 3;
}

void PageSamplingTest::thin_line_survives_every_reduction() {
  QFETCH(int, shown_width);
  QFETCH(int, shown_height);
  lumigrid::Surface page = white_page(4000, 3000);
  for (int y = 0; y < 3000; ++y) paint_black(page, 2999, y);
  const lumigrid::PageView view(page);
  QVERIFY(view.reductionCount() > 0);
  const lumigrid::ViewRect all{0, 0, shown_width, shown_height};
  const std::vector<std::uint8_t> out = render(view, shown_width, shown_height, all);
  // Every shown row has black, near three quarters of the way across, and most of it is white.
  const int expected_column = int(2999LL * shown_width / 4000);
  for (int y = 0; y < shown_height; ++y) {
    int black = 0;
    for (int x = 0; x < shown_width; ++x) {
      if (out[std::size_t(y) * std::size_t(shown_width) + std::size_t(x)] != kBlackLevel) continue;
      ++black;
      QVERIFY2(std::abs(x - expected_column) <= 1, qPrintable(QString("black at %1").arg(x)));
    }
    QVERIFY2(black >= 1 && black <= 2, qPrintable(QString("row %1: %2 black").arg(y).arg(black)));
  }
}

void PageSamplingTest::page_without_pixels_shows_nothing() {
  const lumigrid::Surface page = white_page(0, 600);
  const lumigrid::PageView view(page);
  const lumigrid::ViewRect area{0, 0, 10, 10};
  const std::vector<std::uint8_t> out = render(view, 10, 10, area);
  for (std::uint8_t level : out) QCOMPARE(level, kUntouched);
}

QTEST_GUILESS_MAIN(PageSamplingTest)

#include "info_window_sampling_test.moc"
