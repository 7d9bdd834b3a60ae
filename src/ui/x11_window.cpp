#include "ui/x11_window.h"

#include <QGuiApplication>
#include <QWidget>

#if LUMIGRID_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#endif

namespace lumigrid {

#if LUMIGRID_HAVE_XCB
namespace {

xcb_connection_t* x11_connection() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t intern(xcb_connection_t* connection, const char* name) {
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(connection, 0, std::uint16_t(std::char_traits<char>::length(name)), name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  if (reply == nullptr) return XCB_ATOM_NONE;
  const xcb_atom_t atom = reply->atom;
  std::free(reply);
  return atom;
}

}  // namespace

// The toolkit names an X11 owner only for dialogs and tools, and clears it for other windows as
// it maps them: it is named once the window is mapped, and the window manager follows.
void x11_name_owner(QWidget* window, QWidget* owner) {
  xcb_connection_t* connection = x11_connection();
  if (connection == nullptr) return;
  const auto owner_client = xcb_window_t(owner->winId());
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()),
                      XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1, &owner_client);
  xcb_flush(connection);
}

void x11_clear_caption(QWidget* window) {
  xcb_connection_t* connection = x11_connection();
  if (connection == nullptr || window->internalWinId() == 0) return;
  const auto client = xcb_window_t(window->internalWinId());
  const xcb_atom_t net_name = intern(connection, "_NET_WM_NAME");
  const xcb_atom_t utf8 = intern(connection, "UTF8_STRING");
  if (net_name != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, client, net_name, utf8, 8, 0, "");
  }
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, client, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                      8, 0, "");
  xcb_flush(connection);
}
#else
void x11_name_owner(QWidget*, QWidget*) {}
void x11_clear_caption(QWidget*) {}
#endif

}  // namespace lumigrid
