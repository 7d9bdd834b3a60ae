// Which size of a monitor is believed, what the caption says of it, the calibration's name and
// steps, and a page's size on the screen.
#include "monitor/screen_size.h"

#include <gtest/gtest.h>

#include <string>

namespace lumigrid {
namespace {

constexpr double kAssumedPitch = 25.4 / 96.0;

struct Choice {
  const char* name;
  MonitorFacts facts;
  SizeSource source;
  double mm_per_pixel;
  const char* caption;
};

const Choice kChoices[] = {
    {"CalibrationWinsOverEverything",
     {1920, 1080, 0.25, MillimetreSize{527, 296}, MillimetreSize{600, 340}},
     SizeSource::Calibration,
     0.25,
     "calibrated"},
    {"EdidWinsOverTheWindowSystem",
     {1920, 1080, std::nullopt, MillimetreSize{527, 296}, MillimetreSize{600, 340}},
     SizeSource::Edid,
     527.0 / 1920,
     "EDID 527 x 296 mm"},
    {"WindowSystemWithoutEdid",
     {1920, 1080, std::nullopt, std::nullopt, MillimetreSize{527, 296}},
     SizeSource::WindowSystem,
     527.0 / 1920,
     "the window system's 527 x 296 mm"},
    {"NothingKnown",
     {1920, 1080, std::nullopt, std::nullopt, std::nullopt},
     SizeSource::Assumed,
     kAssumedPitch,
     "assumed 96 dpi"},
    {"ImplausibleCalibrationPassedOver",
     {1920, 1080, 3.0, MillimetreSize{527, 296}, std::nullopt},
     SizeSource::Edid,
     527.0 / 1920,
     "EDID 527 x 296 mm"},
    {"ZeroCalibrationPassedOver",
     {1920, 1080, 0.0, std::nullopt, std::nullopt},
     SizeSource::Assumed,
     kAssumedPitch,
     "assumed 96 dpi"},
    {"ZeroEdidFallsToWindowSystem",
     {1920, 1080, std::nullopt, MillimetreSize{0, 0}, MillimetreSize{527.5, 296}},
     SizeSource::WindowSystem,
     527.5 / 1920,
     "the window system's 527.5 x 296 mm"},
    {"EdidWithOneSideZero",
     {1920, 1080, std::nullopt, MillimetreSize{527, 0}, std::nullopt},
     SizeSource::Assumed,
     kAssumedPitch,
     "assumed 96 dpi"},
    // A television claiming a cinema screen on a small panel: 4.2 mm pixels.
    {"TelevisionTooLarge",
     {384, 216, std::nullopt, MillimetreSize{1600, 900}, MillimetreSize{160, 90}},
     SizeSource::WindowSystem,
     160.0 / 384,
     "the window system's 160 x 90 mm"},
    // Both sizes give pixels finer than 0.05 mm.
    {"BothTooSmall",
     {3840, 2160, std::nullopt, MillimetreSize{100, 60}, MillimetreSize{16, 9}},
     SizeSource::Assumed,
     kAssumedPitch,
     "assumed 96 dpi"},
    {"HeightAloneImplausible",
     {1920, 1080, std::nullopt, MillimetreSize{527, 2500}, std::nullopt},
     SizeSource::Assumed,
     kAssumedPitch,
     "assumed 96 dpi"},
    {"PitchAtTheFinestLimit",
     {2000, 1000, std::nullopt, MillimetreSize{100, 50}, std::nullopt},
     SizeSource::Edid,
     0.05,
     "EDID 100 x 50 mm"},
    {"PitchAtTheCoarsestLimit",
     {100, 50, std::nullopt, MillimetreSize{200, 100}, std::nullopt},
     SizeSource::Edid,
     2.0,
     "EDID 200 x 100 mm"},
    {"NoPixels",
     {0, 0, std::nullopt, MillimetreSize{527, 296}, MillimetreSize{527, 296}},
     SizeSource::Assumed,
     kAssumedPitch,
     "assumed 96 dpi"},
};

class ScreenScaleChoice : public ::testing::TestWithParam<Choice> {};

TEST_P(ScreenScaleChoice, TakesTheFirstPlausibleSource) {
  const Choice& c = GetParam();
  const ScreenScale scale = choose_screen_scale(c.facts);
  EXPECT_EQ(scale.source, c.source);
  EXPECT_DOUBLE_EQ(scale.mm_per_pixel, c.mm_per_pixel);
  EXPECT_EQ(describe_screen_scale(scale), c.caption);
}

INSTANTIATE_TEST_SUITE_P(Facts, ScreenScaleChoice, ::testing::ValuesIn(kChoices),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ScreenScale, AssumedPitchIs96PixelsPerInch) {
  EXPECT_DOUBLE_EQ(ScreenScale{}.pixelsPerInch(), 96.0);
}

struct Step {
  const char* name;
  double from;
  bool larger;
  bool coarse;
  double to;
};

class CalibrationStep : public ::testing::TestWithParam<Step> {};

TEST_P(CalibrationStep, ChangesThePitchByItsPercentage) {
  const Step& s = GetParam();
  EXPECT_DOUBLE_EQ(step_calibration(s.from, s.larger, s.coarse), s.to);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, CalibrationStep,
    ::testing::Values(Step{"FineLarger", 0.25, true, false, 0.25 * 1.001},
                      Step{"FineSmaller", 0.25, false, false, 0.25 * 0.999},
                      Step{"CoarseLarger", 0.25, true, true, 0.25 * 1.01},
                      Step{"CoarseSmaller", 0.25, false, true, 0.25 * 0.99},
                      Step{"StopsAtTheCoarsest", 1.999, true, true, kCoarsestPixelMm},
                      Step{"StopsAtTheFinest", 0.0501, false, true, kFinestPixelMm}),
    [](const auto& row) { return std::string(row.param.name); });

struct Naming {
  const char* name;
  MonitorIdentity identity;
  const char* expected;
};

class CalibrationName : public ::testing::TestWithParam<Naming> {};

TEST_P(CalibrationName, NamesTheMonitor) {
  EXPECT_EQ(calibration_name(GetParam().identity), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Identities, CalibrationName,
    ::testing::Values(
        Naming{"AllThree", {"DEL", "U2415", "7MT0165", "DP-1", 1920, 1200}, "DEL U2415 7MT0165"},
        Naming{"NoSerial", {"DEL", "U2415", "", "DP-1", 1920, 1200}, "DEL U2415 DP-1 1920x1200"},
        Naming{"NothingButWhereItIs", {"", "", "", "left", 1024, 768}, "left 1024x768"},
        Naming{"NoConnectorEither", {"", "", "", "", 800, 600}, "800x600"},
        Naming{"BracketsAndControlCharacters", {"A[B", "C]D", "E\nF", "", 1, 1}, "A_B C_D E_F"}),
    [](const auto& row) { return std::string(row.param.name); });

struct TrueSize {
  const char* name;
  std::int64_t page_pixels;
  double page_ppi;
  double mm_per_pixel;
  std::int64_t screen_pixels;
};

class TrueSizePixels : public ::testing::TestWithParam<TrueSize> {};

TEST_P(TrueSizePixels, CoversThePagesSizeOnPaper) {
  const TrueSize& t = GetParam();
  EXPECT_EQ(true_size_pixels(t.page_pixels, t.page_ppi, t.mm_per_pixel), t.screen_pixels);
}

INSTANTIATE_TEST_SUITE_P(Pages, TrueSizePixels,
                         ::testing::Values(
                             // A4 at 600 dpi is 297.03 mm wide: 1080 pixels of 0.275 mm.
                             TrueSize{"A4OnA27InchMonitor", 7016, 600, 0.275, 1080},
                             TrueSize{"A4At96Dpi", 7016, 600, 25.4 / 96, 1123},
                             TrueSize{"OnePixelAtLeast", 1, 600, 2.0, 1},
                             TrueSize{"A0AtTheFinestPitch", 19866, 600, 0.05, 16820}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
