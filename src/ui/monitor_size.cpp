#include "ui/monitor_size.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "base/errors.h"

#ifdef LUMIGRID_HAVE_XCB_RANDR
#include <xcb/randr.h>
#include <xcb/xcb.h>
#endif

namespace lumigrid {

namespace {

#ifdef LUMIGRID_HAVE_XCB_RANDR
struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

xcb_connection_t* x11_connection() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->connection() : nullptr;
}

std::string atom_name(xcb_connection_t* connection, xcb_atom_t atom) {
  const Reply<xcb_get_atom_name_reply_t> reply(
      xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, atom), nullptr));
  if (!reply) return {};
  return std::string(xcb_get_atom_name_name(reply.get()),
                     std::size_t(xcb_get_atom_name_name_length(reply.get())));
}
#endif

}  // namespace

std::vector<std::vector<std::uint8_t>> randr_monitor_edids(const QString& monitor_name) {
  std::vector<std::vector<std::uint8_t>> edids;
#ifdef LUMIGRID_HAVE_XCB_RANDR
  xcb_connection_t* connection = x11_connection();
  if (connection == nullptr) return edids;
  const xcb_screen_t* root_screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  if (root_screen == nullptr) return edids;
  const Reply<xcb_intern_atom_reply_t> edid_atom(
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, 4, "EDID"), nullptr));
  if (!edid_atom || edid_atom->atom == XCB_ATOM_NONE) return edids;  // no output has one
  const Reply<xcb_randr_get_monitors_reply_t> monitors(xcb_randr_get_monitors_reply(
      connection, xcb_randr_get_monitors(connection, root_screen->root, 1), nullptr));
  if (!monitors) return edids;
  const std::string wanted = monitor_name.toStdString();
  for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem;
       xcb_randr_monitor_info_next(&it)) {
    if (atom_name(connection, it.data->name) != wanted) continue;
    const xcb_randr_output_t* outputs = xcb_randr_monitor_info_outputs(it.data);
    const int count = xcb_randr_monitor_info_outputs_length(it.data);
    for (int i = 0; i < count; ++i) {
      // The base block and three extensions at most: the base block is all that is read.
      const Reply<xcb_randr_get_output_property_reply_t> property(
          xcb_randr_get_output_property_reply(
              connection,
              xcb_randr_get_output_property(connection, outputs[i], edid_atom->atom, XCB_ATOM_ANY,
                                            0, 128, 0, 0),
              nullptr));
      if (!property || property->format != 8) continue;
      const auto* data = xcb_randr_get_output_property_data(property.get());
      const int length = xcb_randr_get_output_property_data_length(property.get());
      if (length > 0) edids.emplace_back(data, data + length);
    }
    break;
  }
#else
  (void)monitor_name;
#endif
  return edids;
}

MonitorReport report_monitor(const QScreen& screen) {
  MonitorReport report;
  const qreal ratio = screen.devicePixelRatio();
  const QSize logical = screen.geometry().size();
  // Device pixels: a window scaled by 2 still has the monitor's own pixels under it.
  const auto device = [ratio](int pixels) { return std::int32_t(std::lround(pixels * ratio)); };
  report.identity.manufacturer = screen.manufacturer().trimmed().toStdString();
  report.identity.model = screen.model().trimmed().toStdString();
  report.identity.serial = screen.serialNumber().trimmed().toStdString();
  report.identity.connector = screen.name().toStdString();
  report.identity.width_pixels = device(logical.width());
  report.identity.height_pixels = device(logical.height());
  report.facts.width_pixels = report.identity.width_pixels;
  report.facts.height_pixels = report.identity.height_pixels;
  const QSizeF physical = screen.physicalSize();
  report.facts.window_system_size = MillimetreSize{physical.width(), physical.height()};
  for (const std::vector<std::uint8_t>& bytes : randr_monitor_edids(screen.name())) {
    try {
      const EdidInfo edid = parse_edid(bytes);
      if (!edid.checksum_valid) continue;
      report.edid = edid;
      report.facts.edid_size = edid.size();
      break;
    } catch (const Error&) {
      // Not an EDID block: the next output's, or none.
    }
  }
  return report;
}

MonitorScale monitor_scale(const QScreen& screen, const SettingsLocation& settings) {
  MonitorReport report = report_monitor(screen);
  MonitorScale result;
  result.calibration_name = calibration_name(report.identity);
  report.facts.calibrated_mm_per_pixel =
      read_monitor_calibration(settings, result.calibration_name);
  result.scale = choose_screen_scale(report.facts);
  return result;
}

}  // namespace lumigrid
