#include "monitor/screen_size.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace lumigrid {

namespace {

// 527 for a whole number of millimetres, else one decimal: 527.5.
std::string millimetres(double value) {
  char text[32];
  if (std::fabs(value - std::nearbyint(value)) < 0.05) {
    std::snprintf(text, sizeof text, "%.0f", value);
  } else {
    std::snprintf(text, sizeof text, "%.1f", value);
  }
  return text;
}

std::string size_text(const MillimetreSize& size) {
  return millimetres(size.width) + " x " + millimetres(size.height) + " mm";
}

}  // namespace

bool plausible_pitch(double mm_per_pixel) {
  return std::isfinite(mm_per_pixel) && mm_per_pixel >= kFinestPixelMm &&
         mm_per_pixel <= kCoarsestPixelMm;
}

bool plausible_size(const MillimetreSize& size, std::int32_t width_pixels,
                    std::int32_t height_pixels) {
  if (!size.known() || width_pixels <= 0 || height_pixels <= 0) return false;
  return plausible_pitch(size.width / double(width_pixels)) &&
         plausible_pitch(size.height / double(height_pixels));
}

ScreenScale choose_screen_scale(const MonitorFacts& facts) {
  if (facts.calibrated_mm_per_pixel && plausible_pitch(*facts.calibrated_mm_per_pixel)) {
    return {SizeSource::Calibration, *facts.calibrated_mm_per_pixel, {}};
  }
  const auto from_size =
      [&facts](SizeSource source,
               const std::optional<MillimetreSize>& size) -> std::optional<ScreenScale> {
    if (!size || !plausible_size(*size, facts.width_pixels, facts.height_pixels)) {
      return std::nullopt;
    }
    return ScreenScale{source, size->width / double(facts.width_pixels), *size};
  };
  if (auto edid = from_size(SizeSource::Edid, facts.edid_size)) return *edid;
  if (auto system = from_size(SizeSource::WindowSystem, facts.window_system_size)) return *system;
  return {};
}

std::string describe_screen_scale(const ScreenScale& scale) {
  switch (scale.source) {
    case SizeSource::Calibration:
      return "calibrated";
    case SizeSource::Edid:
      return "EDID " + size_text(scale.size);
    case SizeSource::WindowSystem:
      return "the window system's " + size_text(scale.size);
    case SizeSource::Assumed:
      break;
  }
  return "assumed 96 dpi";
}

double step_calibration(double mm_per_pixel, bool larger, bool coarse) {
  const double step = coarse ? 0.01 : 0.001;
  const double next = mm_per_pixel * (larger ? 1.0 + step : 1.0 - step);
  return std::clamp(next, kFinestPixelMm, kCoarsestPixelMm);
}

std::string calibration_name(const MonitorIdentity& identity) {
  std::vector<std::string> parts;
  for (const std::string* part : {&identity.manufacturer, &identity.model, &identity.serial}) {
    if (!part->empty()) parts.push_back(*part);
  }
  if (parts.size() < 3) {
    if (!identity.connector.empty()) parts.push_back(identity.connector);
    parts.push_back(std::to_string(identity.width_pixels) + "x" +
                    std::to_string(identity.height_pixels));
  }
  std::string name;
  for (const std::string& part : parts) {
    if (!name.empty()) name += ' ';
    name += part;
  }
  for (char& c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '[' || c == ']') c = '_';
  }
  return name;
}

std::int64_t true_size_pixels(std::int64_t page_pixels, double page_pixels_per_inch,
                              double mm_per_pixel) {
  const double millimetres = double(page_pixels) / page_pixels_per_inch * kMillimetresPerInch;
  const double pixels = std::nearbyint(millimetres / mm_per_pixel);
  // A page is at most a few metres and a pitch at least kFinestPixelMm: far inside 64 bits.
  if (!std::isfinite(pixels) || pixels < 1.0) return 1;
  return std::int64_t(std::min(pixels, 9.0e15));
}

}  // namespace lumigrid
