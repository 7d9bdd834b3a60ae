#pragma once
// Where the settings file lives and what the program stores in it at start and exit.
#include <cstdint>
#include <filesystem>

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

}  // namespace lumigrid
