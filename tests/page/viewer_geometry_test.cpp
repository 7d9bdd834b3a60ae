#include "page/viewer_geometry.h"

#include <gtest/gtest.h>

#include <string>

#include "base/errors.h"

namespace lumigrid {
namespace {

constexpr ViewSize kScrollBox{983, 612};
constexpr Point kBoxCentre{491, 306};

struct FitCase {
  const char* name;
  ViewSize bitmap, box;
  std::optional<ViewSize> control;  // none: the fit does nothing
};

std::ostream& operator<<(std::ostream& os, const FitCase& c) {
  return os << c.name;
}

class FitImage : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitImage, TakesNinetyEightPercentOfTheBindingSide) {
  const FitCase& c = GetParam();
  const std::optional<FitResult> fit = fit_image(c.bitmap, c.box);
  ASSERT_EQ(fit.has_value(), c.control.has_value());
  if (!fit) return;
  EXPECT_EQ(fit->control, *c.control);
  EXPECT_EQ(fit->scroll, (Point{0, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitImage,
    ::testing::Values(FitCase{"FullHdIsWidthBound", {1920, 1080}, kScrollBox, ViewSize{963, 541}},
                      FitCase{"A4IsHeightBound", {7016, 4961}, kScrollBox, ViewSize{848, 599}},
                      FitCase{"PortraitPage", {1080, 1920}, kScrollBox, ViewSize{337, 599}},
                      FitCase{"SameAspect", {983, 612}, kScrollBox, ViewSize{963, 599}},
                      FitCase{"NoPage", {1920, 0}, kScrollBox, std::nullopt},
                      FitCase{"NoBoxWidth", {1920, 1080}, {0, 612}, std::nullopt},
                      FitCase{"NoBoxHeight", {1920, 1080}, {983, -1}, std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });

// The view right after a 1920 x 1080 page was fitted into the 983 x 612 scroll box.
ZoomView fitted_full_hd() {
  return {{1920, 1080}, {963, 541}, kScrollBox};
}

struct ZoomCase {
  const char* name;
  ZoomView view;
  float factor;
  float scale;
  ViewSize control;
  Point requested;
};

std::ostream& operator<<(std::ostream& os, const ZoomCase& c) {
  return os << c.name;
}

class ZoomImage : public ::testing::TestWithParam<ZoomCase> {};

TEST_P(ZoomImage, OneWheelStepAboutTheBoxCentre) {
  const ZoomCase& c = GetParam();
  const std::optional<ZoomResult> zoom = zoom_image(c.view, c.factor, kBoxCentre);
  ASSERT_TRUE(zoom.has_value());
  EXPECT_FLOAT_EQ(zoom->scale, c.scale);
  EXPECT_EQ(zoom->control, c.control);
  EXPECT_EQ(zoom->requested, c.requested);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZoomImage,
    ::testing::Values(ZoomCase{"In", fitted_full_hd(), 1.2f, 0.602f, {1156, 650}, {98, 61}},
                      ZoomCase{"Out", fitted_full_hd(), 0.8f, 0.401f, {770, 433}, {-98, -61}}),
    [](const auto& row) { return std::string(row.param.name); });

// Wheel steps by `factor` from `view` until a step stops or `limit` steps are taken; gives the
// steps taken, leaving the last view and scale.
int zoom_until_stopped(ZoomView& view, float& scale, float factor, int limit) {
  for (int steps = 0; steps < limit; ++steps) {
    const std::optional<ZoomResult> zoom = zoom_image(view, factor, kBoxCentre);
    if (!zoom) return steps;
    view.control = zoom->control;
    scale = zoom->scale;
  }
  return limit;
}

struct LimitCase {
  const char* name;
  ViewSize bitmap, fitted;
  float factor;
  bool stops;  // a step is eventually refused; otherwise the steps go on without changing it
  int steps;   // steps taken before the refusal, where it matters (0: any number)
  float scale;
  ViewSize control;
};

std::ostream& operator<<(std::ostream& os, const LimitCase& c) {
  return os << c.name;
}

class ZoomLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(ZoomLimits, StopsOrSettles) {
  const LimitCase& c = GetParam();
  ZoomView view{c.bitmap, c.fitted, kScrollBox};
  float scale = 0;
  constexpr int kCap = 60;
  const int steps = zoom_until_stopped(view, scale, c.factor, kCap);
  EXPECT_EQ(steps < kCap, c.stops);
  if (c.steps != 0) {
    EXPECT_EQ(steps, c.steps);
  }
  EXPECT_FLOAT_EQ(scale, c.scale);
  EXPECT_EQ(view.control, c.control);
  const std::optional<ZoomResult> once_more = zoom_image(view, c.factor, kBoxCentre);
  if (c.stops) {
    EXPECT_FALSE(once_more.has_value());
  } else {
    ASSERT_TRUE(once_more.has_value());
    EXPECT_FLOAT_EQ(once_more->scale, c.scale);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZoomLimits,
    ::testing::Values(
        // Shrinks to scale 0.004, 8 pixels wide; narrower than 10, it shrinks no further.
        LimitCase{"FullHdOut", {1920, 1080}, {963, 541}, 0.8f, true, 0, 0.004f, {8, 4}},
        // 0.002 x 0.8 rounds back to 0.002: the steps go on and change nothing.
        LimitCase{"A4OutSettles", {7016, 4961}, {848, 599}, 0.8f, false, 0, 0.002f, {14, 10}},
        // 29 steps reach 99.436; the next would pass 100 and is refused.
        LimitCase{"FullHdIn", {1920, 1080}, {963, 541}, 1.2f, true, 29, 99.436f, {190917, 107391}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ZoomImage, StepsBackFromTheLimits) {
  // From 8 pixels wide a step towards the operator gives 0.005.
  const auto in = zoom_image({{1920, 1080}, {8, 4}, kScrollBox}, 1.2f, kBoxCentre);
  ASSERT_TRUE(in.has_value());
  EXPECT_FLOAT_EQ(in->scale, 0.005f);
  // From 14 x 10 on an A4 page a step towards stays at 0.002 (0.0024 rounds to 0.002).
  const auto a4 = zoom_image({{7016, 4961}, {14, 10}, kScrollBox}, 1.2f, kBoxCentre);
  ASSERT_TRUE(a4.has_value());
  EXPECT_FLOAT_EQ(a4->scale, 0.002f);
  EXPECT_EQ(a4->control, (ViewSize{14, 10}));
}

TEST(ZoomImage, PageOfWidthZeroIsADivisionByZero) {
  EXPECT_THROW(zoom_image({{0, 10}, {0, 0}, kScrollBox}, 1.2f, kBoxCentre), DivisionByZeroError);
}

TEST(Wheel, DeltaSignPicksTheFactorAndTheCursorGoesToTheCentre) {
  EXPECT_EQ(wheel_zoom_factor(120), 0.8f);
  EXPECT_EQ(wheel_zoom_factor(1), 0.8f);
  EXPECT_EQ(wheel_zoom_factor(-360), 1.2f);
  EXPECT_FALSE(wheel_zoom_factor(0).has_value());
  EXPECT_EQ(wheel_cursor_target(kScrollBox), kBoxCentre);
}

struct PanCase {
  const char* name;
  Point scroll, origin, cursor;
  ViewSize content, viewport;
  Point expected;
};

std::ostream& operator<<(std::ostream& os, const PanCase& c) {
  return os << c.name;
}

class Pan : public ::testing::TestWithParam<PanCase> {};

TEST_P(Pan, ScrollsByTheDragDistance) {
  const PanCase& c = GetParam();
  EXPECT_EQ(pan_scroll(c.scroll, c.origin, c.cursor, c.content, c.viewport), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Pan,
    ::testing::Values(
        PanCase{
            "FollowsTheMouse", {100, 50}, {10, 10}, {30, 0}, {2000, 1000}, {900, 600}, {80, 60}},
        PanCase{"ClampedAtZero", {5, 5}, {10, 10}, {40, 40}, {2000, 1000}, {900, 600}, {0, 0}},
        PanCase{"ClampedAtTheRange",
                {1090, 390},
                {10, 10},
                {0, 0},
                {2000, 1000},
                {900, 600},
                {1100, 400}},
        PanCase{
            "ContentSmallerThanView", {0, 0}, {10, 10}, {0, 0}, {500, 300}, {900, 600}, {0, 0}}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
