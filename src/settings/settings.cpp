#include "settings/settings.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <fstream>
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

std::optional<IniFile> open_fallback(const SettingsLocation& location, char decimal_separator) {
  if (location.fallback.empty()) return std::nullopt;
  return IniFile(location.fallback, decimal_separator);
}

const IniFile& file_holding(const IniFile& file, const std::optional<IniFile>& fallback,
                            std::string_view section, std::string_view key) {
  if (fallback && !file.readString(section, key)) return *fallback;
  return file;
}

// A user's settings folder may not exist yet, and the user's file starts as a copy of the
// administrator's (the fallback) at its first write; the write that follows reports any failure.
void make_settings_folder(const SettingsLocation& location) {
  if (location.fallback.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(location.file.parent_path(), ec);
  if (!std::filesystem::exists(location.file, ec) &&
      std::filesystem::is_regular_file(location.fallback, ec)) {
    // Bytes only: the copy is the user's own file, writable whatever the original's mode.
    // A copy that fails part-way is removed: a partial file would hide the defaults for good.
    std::ifstream from(location.fallback, std::ios::binary);
    std::ofstream to(location.file, std::ios::binary);
    to << from.rdbuf();
    to.close();
    if (!from || to.fail()) std::filesystem::remove(location.file, ec);
  }
}

std::string lower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

std::filesystem::path settings_path_for(const std::filesystem::path& executable) {
  // The extension runs from the file name's last dot; folders keep their dots.
  std::string name = executable.filename().string();
  const auto dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return executable.parent_path() / (name + ".INI");
}

std::string choose_home_folder(const std::string& home_variable, const std::string& account_home) {
  return std::filesystem::path(home_variable).is_absolute() ? home_variable : account_home;
}

std::vector<std::filesystem::path> config_dirs_from(const std::string& xdg_config_dirs) {
  std::vector<std::filesystem::path> dirs;
  std::size_t start = 0;
  while (start <= xdg_config_dirs.size()) {
    const std::size_t colon = std::min(xdg_config_dirs.find(':', start), xdg_config_dirs.size());
    const std::filesystem::path dir = xdg_config_dirs.substr(start, colon - start);
    if (dir.is_absolute()) dirs.push_back(dir);
    start = colon + 1;
  }
  if (dirs.empty()) dirs.emplace_back("/etc/xdg");
  return dirs;
}

SettingsLocation choose_settings_location(const SettingsPlace& place) {
  const std::filesystem::path beside = settings_path_for(place.executable);
  if ((place.file_exists && place.file_writable) || place.folder_writable) return {beside};
  // Relative folders in these variables are to be ignored.
  std::filesystem::path config;
  if (std::filesystem::path(place.xdg_config_home).is_absolute()) {
    config = place.xdg_config_home;
  } else if (std::filesystem::path(place.home).is_absolute()) {
    config = std::filesystem::path(place.home) / ".config";
  } else {
    return {beside};
  }
  const std::filesystem::path& fallback = place.file_exists || place.administrator_defaults.empty()
                                              ? beside
                                              : place.administrator_defaults;
  return {config / "lumigrid" / beside.filename(), fallback};
}

std::vector<std::string> settings_file_warnings(const SettingsLocation& location) {
  std::vector<std::string> warnings;
  for (const auto* file : {&location.file, &location.fallback}) {
    std::error_code ec;
    if (file->empty() || !std::filesystem::is_regular_file(*file, ec)) continue;
    const auto size = std::filesystem::file_size(*file, ec);
    if (!ec && size > kMaxSettingsFileBytes) {
      warnings.push_back(file->filename().string() + " is larger than " +
                         std::to_string(kMaxSettingsFileBytes >> 20) + " MiB and is not read");
    }
  }
  return warnings;
}

SettingsLocation locate_settings(const std::filesystem::path& executable) {
  SettingsPlace place;
  place.executable = executable;
  const std::filesystem::path beside = settings_path_for(executable);
  std::error_code ec;
  place.file_exists = std::filesystem::exists(beside, ec);
  place.file_writable = place.file_exists && ::access(beside.c_str(), W_OK) == 0;
  const std::filesystem::path folder =
      beside.parent_path().empty() ? std::filesystem::path(".") : beside.parent_path();
  place.folder_writable = ::access(folder.c_str(), W_OK | X_OK) == 0;
  place.xdg_config_home = environment("XDG_CONFIG_HOME");
  std::string account_home;
  if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir)
    account_home = user->pw_dir;
  place.home = choose_home_folder(environment("HOME"), account_home);
  for (const std::filesystem::path& dir : config_dirs_from(environment("XDG_CONFIG_DIRS"))) {
    const std::filesystem::path defaults = dir / "lumigrid" / beside.filename();
    if (std::filesystem::is_regular_file(defaults, ec)) {
      place.administrator_defaults = defaults;
      break;
    }
  }
  return choose_settings_location(place);
}

StartupSettings read_startup_settings(const SettingsLocation& location,
                                      const SliderPositions& defaults) {
  const IniFile ini(location.file);
  const std::optional<IniFile> fallback = open_fallback(location, '.');
  StartupSettings result;
  result.positions = defaults;
  const SettingKey& pattern = setting_key(Setting::LatestPattern);
  result.latest_pattern = read_integer(file_holding(ini, fallback, pattern.section, pattern.key),
                                       pattern.section, Setting::LatestPattern);
  const auto fields = slider_fields(result.positions);
  for (std::size_t i = 0; i < kSliderKeys.size(); ++i) {
    const SettingKey& k = setting_key(kSliderKeys[i]);
    *fields[i] =
        file_holding(ini, fallback, k.section, k.key).readInteger(k.section, k.key, *fields[i]);
  }
  return result;
}

void write_exit_settings(const SettingsLocation& location, std::int32_t current_pattern,
                         const SliderPositions& positions) {
  make_settings_folder(location);
  IniFile ini(location.file);
  // One rewrite for the seven values, with the bytes seven writes in this order would give.
  std::vector<IniEntry> entries;
  const SettingKey& pattern = setting_key(Setting::LatestPattern);
  entries.push_back({pattern.section, pattern.key, std::to_string(current_pattern)});
  SliderPositions copy = positions;
  const auto fields = slider_fields(copy);
  for (std::size_t i = 0; i < kSliderKeys.size(); ++i) {
    const SettingKey& k = setting_key(kSliderKeys[i]);
    entries.push_back({k.section, k.key, std::to_string(*fields[i])});
  }
  ini.writeStrings(entries);
}

std::optional<double> read_monitor_calibration(const SettingsLocation& location,
                                               std::string_view monitor_name) {
  const std::string section = std::string(kMonitorSectionPrefix) + std::string(monitor_name);
  const SettingKey& key = setting_key(Setting::MonitorMmPerPixel);
  const IniFile file(location.file);
  const std::optional<IniFile> fallback = open_fallback(location, '.');
  // Written with a point whatever the locale: the program alone reads it.
  const std::optional<std::string> text =
      file_holding(file, fallback, section, key.key).readString(section, key.key);
  if (!text) return std::nullopt;
  const std::optional<double> value = parse_real(*text, '.');
  if (!value || !(*value > 0)) return std::nullopt;
  return value;
}

void write_monitor_calibration(const SettingsLocation& location, std::string_view monitor_name,
                               std::optional<double> mm_per_pixel) {
  make_settings_folder(location);
  IniFile ini(location.file);
  const std::string section = std::string(kMonitorSectionPrefix) + std::string(monitor_name);
  const SettingKey& key = setting_key(Setting::MonitorMmPerPixel);
  ini.writeString(section, key.key, mm_per_pixel ? format_real(*mm_per_pixel, '.') : "");
}

ColourChartSettings::ColourChartSettings(const SettingsLocation& location, char decimal_separator)
    : ini_(location.file, decimal_separator),
      fallback_(open_fallback(location, decimal_separator)) {}

std::vector<std::string> ColourChartSettings::sectionNames() const {
  std::vector<std::string> names = ini_.sectionNames();
  if (!fallback_) return names;
  std::vector<std::string> own;
  own.reserve(names.size());
  for (const std::string& name : names) own.push_back(lower(name));
  for (const std::string& name : fallback_->sectionNames())
    if (std::find(own.begin(), own.end(), lower(name)) == own.end()) names.push_back(name);
  return names;
}

bool ColourChartSettings::fileExists() const {
  std::error_code ec;
  if (std::filesystem::exists(ini_.path(), ec)) return true;
  return fallback_ && std::filesystem::exists(fallback_->path(), ec);
}

const IniFile& ColourChartSettings::holder(std::string_view section, std::string_view key) const {
  return file_holding(ini_, fallback_, section, key);
}

void ColourChartSettings::writeDefaults(std::string_view section) {
  if (fallback_) make_settings_folder({ini_.path(), fallback_->path()});
  const auto integer = [](Setting id) {
    return std::to_string(std::int32_t(setting_key(id).fallback));
  };
  ini_.writeStrings(
      {{section, setting_key(Setting::ColorX).key, integer(Setting::ColorX)},
       {section, setting_key(Setting::ColorY).key, integer(Setting::ColorY)},
       {section, setting_key(Setting::Border).key,
        format_real(setting_key(Setting::Border).fallback, ini_.decimalSeparator())}});
}

ColourChartLayout ColourChartSettings::layout(std::string_view section) const {
  const auto from = [&](Setting id) -> const IniFile& {
    return holder(section, setting_key(id).key);
  };
  ColourChartLayout layout;
  layout.columns = read_integer(from(Setting::ColorX), section, Setting::ColorX);
  layout.rows = read_integer(from(Setting::ColorY), section, Setting::ColorY);
  layout.border = read_real(from(Setting::Border), section, Setting::Border);
  layout.text_size = read_real(from(Setting::TextSize), section, Setting::TextSize);
  const SettingKey& text = setting_key(Setting::Text);
  layout.text = from(Setting::Text).readFlag(section, text.key, text.fallback != 0);
  return layout;
}

std::uint32_t ColourChartSettings::patchColour(std::string_view section, std::int64_t n) const {
  const std::string number = std::to_string(n);
  const auto component = [&](Setting id) {
    const SettingKey& k = setting_key(id);
    const std::string key = number + std::string(k.key);
    const std::int32_t value =
        holder(section, key).readInteger(section, key, std::int32_t(k.fallback));
    return std::uint32_t(value) & 0xFFu;  // modulo 256: 300 is 44, -1 is 255
  };
  return component(Setting::PatchRed) | component(Setting::PatchGreen) << 8 |
         component(Setting::PatchBlue) << 16;
}

}  // namespace lumigrid
