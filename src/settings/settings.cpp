#include "settings/settings.h"

#include <array>
#include <system_error>

#include "settings/settings_keys.h"

namespace lumigrid {
namespace {

constexpr std::array<Setting, 6> kSliderKeys = {Setting::ScrollBarH,     Setting::ScrollBarHP,
                                                Setting::ScrollBarV,     Setting::ScrollBarVP,
                                                Setting::ScrollBarSpace, Setting::ScrollBarPitch};

std::array<std::int32_t*, 6> slider_fields(SliderPositions& p) {
  return {&p.H, &p.HP, &p.V, &p.VP, &p.Space, &p.Pitch};
}

std::int32_t read_integer(const IniFile& ini, std::string_view section, Setting id) {
  const SettingKey& k = setting_key(id);
  return ini.readInteger(section, k.key, std::int32_t(k.fallback));
}

double read_real(const IniFile& ini, std::string_view section, Setting id) {
  const SettingKey& k = setting_key(id);
  return ini.readReal(section, k.key, k.fallback);
}

}  // namespace

std::filesystem::path settings_path_for(const std::filesystem::path& executable) {
  // The extension runs from the file name's last dot; folders keep their dots.
  std::string name = executable.filename().string();
  const auto dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return executable.parent_path() / (name + ".INI");
}

StartupSettings read_startup_settings(const std::filesystem::path& path,
                                      const SliderPositions& defaults) {
  const IniFile ini(path);
  StartupSettings result;
  result.positions = defaults;
  result.latest_pattern =
      read_integer(ini, setting_key(Setting::LatestPattern).section, Setting::LatestPattern);
  const auto fields = slider_fields(result.positions);
  for (std::size_t i = 0; i < kSliderKeys.size(); ++i) {
    const SettingKey& k = setting_key(kSliderKeys[i]);
    *fields[i] = ini.readInteger(k.section, k.key, *fields[i]);
  }
  return result;
}

void write_exit_settings(const std::filesystem::path& path, std::int32_t current_pattern,
                         const SliderPositions& positions) {
  IniFile ini(path);
  const SettingKey& pattern = setting_key(Setting::LatestPattern);
  ini.writeInteger(pattern.section, pattern.key, current_pattern);
  SliderPositions copy = positions;
  const auto fields = slider_fields(copy);
  for (std::size_t i = 0; i < kSliderKeys.size(); ++i) {
    const SettingKey& k = setting_key(kSliderKeys[i]);
    ini.writeInteger(k.section, k.key, *fields[i]);
  }
}

ColourChartSettings::ColourChartSettings(const std::filesystem::path& path, char decimal_separator)
    : ini_(path, decimal_separator) {}

bool ColourChartSettings::fileExists() const {
  std::error_code ec;
  return std::filesystem::exists(ini_.path(), ec);
}

void ColourChartSettings::writeDefaults(std::string_view section) {
  ini_.writeInteger(section, setting_key(Setting::ColorX).key,
                    std::int32_t(setting_key(Setting::ColorX).fallback));
  ini_.writeInteger(section, setting_key(Setting::ColorY).key,
                    std::int32_t(setting_key(Setting::ColorY).fallback));
  ini_.writeReal(section, setting_key(Setting::Border).key, setting_key(Setting::Border).fallback);
}

ColourChartLayout ColourChartSettings::layout(std::string_view section) const {
  ColourChartLayout layout;
  layout.columns = read_integer(ini_, section, Setting::ColorX);
  layout.rows = read_integer(ini_, section, Setting::ColorY);
  layout.border = read_real(ini_, section, Setting::Border);
  layout.text_size = read_real(ini_, section, Setting::TextSize);
  const SettingKey& text = setting_key(Setting::Text);
  layout.text = ini_.readFlag(section, text.key, text.fallback != 0);
  return layout;
}

std::uint32_t ColourChartSettings::patchColour(std::string_view section, std::int64_t n) const {
  const std::string number = std::to_string(n);
  const auto component = [&](Setting id) {
    const SettingKey& k = setting_key(id);
    const std::int32_t value =
        ini_.readInteger(section, number + std::string(k.key), std::int32_t(k.fallback));
    return std::uint32_t(value) & 0xFFu;  // modulo 256: 300 is 44, -1 is 255
  };
  return component(Setting::PatchRed) | component(Setting::PatchGreen) << 8 |
         component(Setting::PatchBlue) << 16;
}

}  // namespace lumigrid
