#pragma once
// Every key the program keeps in the settings file, declared once with its type and default.
#include <array>
#include <cstddef>
#include <string_view>

namespace lumigrid {

enum class SettingType { Integer, Flag, Real };

enum class Setting {
  LatestPattern,
  ScrollBarH,
  ScrollBarHP,
  ScrollBarV,
  ScrollBarVP,
  ScrollBarSpace,
  ScrollBarPitch,
  ColorX,
  ColorY,
  Border,
  TextSize,
  Text,
  PatchRed,
  PatchGreen,
  PatchBlue,
  MonitorMmPerPixel,
};

struct SettingKey {
  Setting id;
  // Empty for the colour-chart keys, which live in whichever chart section is drawn.
  std::string_view section;
  // The monitor key lives in the calibrated monitor's own section (kMonitorSectionPrefix and
  // the monitor's name).
  // For the patch keys, the suffix that follows the patch number ("1_R", "2_G" ...).
  std::string_view key;
  SettingType type;
  double fallback;
};

inline constexpr std::string_view kLatestPatternSection = "latest pattern";
inline constexpr std::string_view kLatestSettingSection = "Latest Setting";
inline constexpr std::string_view kMonitorSectionPrefix = "monitor ";

// The scroll-bar defaults are the adjust window's form positions; at start-up the positions the
// bars hold just before the read take their place.
inline constexpr std::array<SettingKey, 16> kSettingKeys = {{
    {Setting::LatestPattern, kLatestPatternSection, "latest pattern", SettingType::Integer, 0},
    {Setting::ScrollBarH, kLatestSettingSection, "ScrollBar_H", SettingType::Integer, 50},
    {Setting::ScrollBarHP, kLatestSettingSection, "ScrollBar_HP", SettingType::Integer, 50},
    {Setting::ScrollBarV, kLatestSettingSection, "ScrollBar_V", SettingType::Integer, 30},
    {Setting::ScrollBarVP, kLatestSettingSection, "ScrollBar_VP", SettingType::Integer, 50},
    {Setting::ScrollBarSpace, kLatestSettingSection, "ScrollBar_Space", SettingType::Integer, 100},
    {Setting::ScrollBarPitch, kLatestSettingSection, "ScrollBar_Pitch", SettingType::Integer, 8},
    {Setting::ColorX, "", "color X", SettingType::Integer, 6},
    {Setting::ColorY, "", "color Y", SettingType::Integer, 4},
    {Setting::Border, "", "border", SettingType::Real, 0.1},
    {Setting::TextSize, "", "text size", SettingType::Real, 0.1},
    {Setting::Text, "", "text", SettingType::Flag, 0},
    {Setting::PatchRed, "", "_R", SettingType::Integer, 255},
    {Setting::PatchGreen, "", "_G", SettingType::Integer, 80},
    {Setting::PatchBlue, "", "_B", SettingType::Integer, 80},
    // The calibrated size of one device pixel; empty, missing or 0 when not calibrated.
    {Setting::MonitorMmPerPixel, "", "mm per pixel", SettingType::Real, 0},
}};

constexpr bool keys_in_declaration_order() {
  for (std::size_t i = 0; i < kSettingKeys.size(); ++i)
    if (static_cast<std::size_t>(kSettingKeys[i].id) != i) return false;
  return true;
}
static_assert(keys_in_declaration_order(), "kSettingKeys must follow the order of Setting");

constexpr const SettingKey& setting_key(Setting id) {
  return kSettingKeys[static_cast<std::size_t>(id)];
}

}  // namespace lumigrid
