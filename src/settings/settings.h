#pragma once
// Where the settings file lives and what the program stores in it at start and exit, and the
// colour charts' access to it.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/ini_file.h"

namespace lumigrid {

// The executable's path with its extension replaced by ".INI" (".INI" appended when the file
// name has none; dots in folder names do not count).
std::filesystem::path settings_path_for(const std::filesystem::path& executable);

// Where the settings are read and written: `file`, and for the values it lacks the read-only
// `fallback` (empty when there is none). A plain path is a file without fallback. A location
// marked `read_only` is only read: a program that borrows another's settings (lumigrid-render
// reading lumigrid's colour charts) must not race that program's own writes.
struct SettingsLocation {
  std::filesystem::path file;
  std::filesystem::path fallback;
  bool read_only = false;

  SettingsLocation() = default;
  SettingsLocation(std::filesystem::path file_path, std::filesystem::path fallback_path = {})
      : file(std::move(file_path)), fallback(std::move(fallback_path)) {}
  SettingsLocation(const char* file_path) : file(file_path) {}
  friend bool operator==(const SettingsLocation&, const SettingsLocation&) = default;
};

// What the choice of the settings location depends on.
struct SettingsPlace {
  std::filesystem::path executable;
  bool file_exists = false;      // the file beside the executable
  bool file_writable = false;    // ... and it can be written
  bool folder_writable = false;  // the executable's folder takes new files
  std::string xdg_config_home;   // $XDG_CONFIG_HOME, empty when unset
  std::string home;              // the user's home folder, empty when unknown
  // The administrator's defaults: the first "<dir>/lumigrid/<name>.INI" that exists, <dir> taken
  // from $XDG_CONFIG_DIRS (/etc/xdg when unset); empty when there is none.
  std::filesystem::path administrator_defaults;
};

// The folders of $XDG_CONFIG_DIRS in order of preference: its absolute entries, or /etc/xdg
// when it names none.
std::vector<std::filesystem::path> config_dirs_from(const std::string& xdg_config_dirs);

// The home folder: $HOME when it names an absolute folder, else the account's own home (from
// the user database); an empty, unset or relative $HOME would put the settings file nowhere.
std::string choose_home_folder(const std::string& home_variable, const std::string& account_home);

// The file beside the executable when it is writable or its folder is (portable use).
// Otherwise the user's "<config>/lumigrid/<name>.INI", <config> being $XDG_CONFIG_HOME when it
// is an absolute path and ~/.config otherwise, with the file beside the executable as the
// fallback (an administrator's colour charts); when there is no file beside the executable,
// the administrator's defaults under $XDG_CONFIG_DIRS are the fallback instead. The user's file
// starts as a copy of its fallback at its first write. With no usable folder at all, the file
// beside the executable, whose write then fails with the usual message.
SettingsLocation choose_settings_location(const SettingsPlace& place);

// choose_settings_location for the running user and the file system as they are now.
SettingsLocation locate_settings(const std::filesystem::path& executable);

// What the program says once, at its start, about settings files it cannot read because they
// are too large ("lumigrid.INI is larger than 64 MiB and is not read"): the file, then its
// fallback. Empty when there is nothing to say.
std::vector<std::string> settings_file_warnings(const SettingsLocation& location);

// Positions of the six stored scroll bars of the adjust window.
struct SliderPositions {
  std::int32_t H = 50;
  std::int32_t HP = 50;
  std::int32_t V = 30;
  std::int32_t VP = 50;
  std::int32_t Space = 100;
  std::int32_t Pitch = 8;
  friend bool operator==(const SliderPositions&, const SliderPositions&) = default;
};

struct StartupSettings {
  std::int32_t latest_pattern = 0;
  SliderPositions positions;
};

// The start-up read: never fails; each missing or malformed value takes its default.
StartupSettings read_startup_settings(const SettingsLocation& location,
                                      const SliderPositions& defaults);

// The exit write: "latest pattern" then the six positions. Throws lumigrid::WriteError
// "Unable to write to <path>" when the file cannot be written. A user's settings folder is
// created first.
void write_exit_settings(const SettingsLocation& location, std::int32_t current_pattern,
                         const SliderPositions& positions);

// A monitor's calibration (the size of its device pixel in millimetres) under its name, in the
// section "monitor <name>". Nothing when the monitor was never calibrated or the calibration
// was forgotten; a value that is no number counts as none. Read from the file, else from its
// fallback; never fails.
std::optional<double> read_monitor_calibration(const SettingsLocation& location,
                                               std::string_view monitor_name);
// Stores a calibration, or with nothing forgets it (the value is emptied: the file keeps the
// line, and the program reads it as none). Throws lumigrid::WriteError as the exit write does.
void write_monitor_calibration(const SettingsLocation& location, std::string_view monitor_name,
                               std::optional<double> mm_per_pixel);

// What one colour-chart section asks for, defaults filled in.
struct ColourChartLayout {
  std::int32_t columns = 6;  // "color X"
  std::int32_t rows = 4;     // "color Y"
  double border = 0.1;       // gap as a fraction of the column width
  double text_size = 0.1;    // label points as a fraction of the column width in pixels
  bool text = false;         // RGB labels under the patches
};

// The colour charts' view of the settings file, opened for one drawing. With a fallback, the
// sections are the file's and then those of the fallback the file does not have, and each value
// the file lacks is read from the fallback.
class ColourChartSettings {
 public:
  ColourChartSettings(const SettingsLocation& location, char decimal_separator);

  std::vector<std::string> sectionNames() const;
  // Asked at the moment of drawing, after the section list was taken: either file counts.
  bool fileExists() const;
  // "color X" = 6, "color Y" = 4, "border" = 0.1, in this order; the file is created.
  void writeDefaults(std::string_view section);
  ColourChartLayout layout(std::string_view section) const;
  // Patch n's colour as 0x00BBGGRR, each component the low 8 bits of its stored integer.
  std::uint32_t patchColour(std::string_view section, std::int64_t n) const;

 private:
  // The file holding `key` of `section`: the settings file, or the fallback for what it lacks.
  const IniFile& holder(std::string_view section, std::string_view key) const;

  IniFile ini_;
  std::optional<IniFile> fallback_;
};

}  // namespace lumigrid
