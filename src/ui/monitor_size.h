#pragma once
// What the window system says of the monitor a window is on: its name, its size in millimetres,
// its EDID where the X server offers it, and the user's calibration from the settings file; the
// core chooses which size to believe.
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "monitor/screen_size.h"
#include "settings/settings.h"

class QScreen;

namespace lumigrid {

// Everything known of one monitor, in its device pixels.
struct MonitorReport {
  MonitorIdentity identity;
  MonitorFacts facts;  // the calibration left out: that is the settings file's
  std::optional<EdidInfo> edid;
};

// Reads the monitor behind `screen`: Qt's physical size and names, and on X11 the EDID of the
// RandR monitor's first output that has one (a valid checksum required).
MonitorReport report_monitor(const QScreen& screen);

// The EDID property of the outputs of the RandR monitor called `monitor_name`, first output
// first; empty off X11 or when none has one.
std::vector<std::vector<std::uint8_t>> randr_monitor_edids(const QString& monitor_name);

// The monitor's pixel size, with its calibration from `settings`, and its name there.
struct MonitorScale {
  ScreenScale scale;
  std::string calibration_name;
};
MonitorScale monitor_scale(const QScreen& screen, const SettingsLocation& settings);

}  // namespace lumigrid
