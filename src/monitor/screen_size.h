#pragma once
// How big one device pixel of a monitor is, and where that comes from: the user's calibration,
// the monitor's EDID, the window system, or the 96 dots per inch every screen was once assumed
// to have. Sizes that cannot be right are passed over, so a monitor claiming 0 mm or a
// television claiming 1600 x 900 mm on a small panel falls through to the next source.
#include <cstdint>
#include <optional>
#include <string>

#include "monitor/edid.h"

namespace lumigrid {

inline constexpr double kMillimetresPerInch = 25.4;
inline constexpr double kAssumedPixelsPerInch = 96.0;
// No screen has pixels finer or coarser than these: a size giving a pitch outside is wrong.
inline constexpr double kFinestPixelMm = 0.05;
inline constexpr double kCoarsestPixelMm = 2.0;

enum class SizeSource : std::uint8_t { Calibration, Edid, WindowSystem, Assumed };

// What is known of one monitor. Pixels are device pixels, the monitor's own.
struct MonitorFacts {
  std::int32_t width_pixels = 0;
  std::int32_t height_pixels = 0;
  std::optional<double> calibrated_mm_per_pixel;
  std::optional<MillimetreSize> edid_size;
  std::optional<MillimetreSize> window_system_size;
};

struct ScreenScale {
  SizeSource source = SizeSource::Assumed;
  double mm_per_pixel = kMillimetresPerInch / kAssumedPixelsPerInch;
  MillimetreSize size;  // the size that was used (EDID or window system), else 0 x 0

  double pixelsPerInch() const { return kMillimetresPerInch / mm_per_pixel; }
  friend bool operator==(const ScreenScale&, const ScreenScale&) = default;
};

bool plausible_pitch(double mm_per_pixel);
// A size both of whose sides are stated and give a plausible pitch over those pixels.
bool plausible_size(const MillimetreSize& size, std::int32_t width_pixels,
                    std::int32_t height_pixels);

// Calibration, then EDID, then the window system, then 96 dots per inch: the first source that
// is there and plausible. The pitch of a size is its width over the pixels across.
ScreenScale choose_screen_scale(const MonitorFacts& facts);

// Where the size comes from, as the ruler screen's caption says it: "calibrated",
// "EDID 527 x 296 mm", "the window system's 527 x 296 mm" or "assumed 96 dpi".
std::string describe_screen_scale(const ScreenScale& scale);

// The calibration keys: Right and Up make a pixel larger, Left and Down smaller, by 0.1 %
// (1 % with Shift). The result stays within the plausible pitches.
double step_calibration(double mm_per_pixel, bool larger, bool coarse);

// A monitor as the window system names it.
struct MonitorIdentity {
  std::string manufacturer;
  std::string model;
  std::string serial;
  std::string connector;  // "DP-1", "HDMI-A-2", a RandR monitor's name
  std::int32_t width_pixels = 0;
  std::int32_t height_pixels = 0;
};

// The name its calibration is kept under: manufacturer, model and serial, with the connector
// and the pixel size added when any of the three is missing (two unnamed monitors differ at
// least by where they are plugged in). Characters a settings file cannot hold in a section
// name ('[', ']', control characters) become '_'.
std::string calibration_name(const MonitorIdentity& identity);

// How many device pixels `page_pixels` of a page at `page_pixels_per_inch` cover on a monitor of
// `mm_per_pixel`: its size on paper, on the screen. At least 1; in 64 bits.
std::int64_t true_size_pixels(std::int64_t page_pixels, double page_pixels_per_inch,
                              double mm_per_pixel);

}  // namespace lumigrid
