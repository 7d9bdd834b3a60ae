#pragma once
// Where the settings file lives and what the program stores in it at start and exit, and the
// colour charts' access to it.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "settings/ini_file.h"

namespace lumigrid {

// The executable's path with its extension replaced by ".INI" (".INI" appended when the file
// name has none; dots in folder names do not count).
std::filesystem::path settings_path_for(const std::filesystem::path& executable);

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
StartupSettings read_startup_settings(const std::filesystem::path& path,
                                      const SliderPositions& defaults);

// The exit write: "latest pattern" then the six positions. Throws lumigrid::WriteError
// "Unable to write to <path>" when the file cannot be written.
void write_exit_settings(const std::filesystem::path& path, std::int32_t current_pattern,
                         const SliderPositions& positions);

// What one colour-chart section asks for, defaults filled in.
struct ColourChartLayout {
  std::int32_t columns = 6;  // "color X"
  std::int32_t rows = 4;     // "color Y"
  double border = 0.1;       // gap as a fraction of the column width
  double text_size = 0.1;    // label points as a fraction of the column width in pixels
  bool text = false;         // RGB labels under the patches
};

// The colour charts' view of the settings file, opened for one drawing.
class ColourChartSettings {
 public:
  ColourChartSettings(const std::filesystem::path& path, char decimal_separator);

  std::vector<std::string> sectionNames() const { return ini_.sectionNames(); }
  // Asked at the moment of drawing, after the section list was taken.
  bool fileExists() const;
  // "color X" = 6, "color Y" = 4, "border" = 0.1, in this order; the file is created.
  void writeDefaults(std::string_view section);
  ColourChartLayout layout(std::string_view section) const;
  // Patch n's colour as 0x00BBGGRR, each component the low 8 bits of its stored integer.
  std::uint32_t patchColour(std::string_view section, std::int64_t n) const;

 private:
  IniFile ini_;
};

}  // namespace lumigrid
