#pragma once
// Qt keys to the Windows virtual-key codes the chart and adjust windows speak
// (patterns/pattern_keys.h).
#include <QStringView>
#include <Qt>

#include "patterns/pattern_keys.h"

class QKeyEvent;

namespace lumigrid {

// What the window system says about the physical key, where it says anything.
struct NativeKey {
  enum class System { Unknown, X11, Windows };
  System system = System::Unknown;
  unsigned scan_code = 0;    // X11: the key code (the main-row digits are 10 for "1" to 19 for "0")
  unsigned virtual_key = 0;  // Windows: the virtual-key code itself
};

// Which physical-key code a Qt platform plugin delivers: X11 and Wayland (whose compositors pass
// on the same X key codes) the X key code, Windows the virtual-key code, others nothing usable.
NativeKey::System native_key_system(QStringView platform_name);

// The virtual-key code of a Qt key with its modifiers (the keypad modifier picks the keypad
// codes). A digit typed with Shift on a US layout arrives as its symbol and still gives the
// digit's code. Where the window system names the physical key, a main-row digit key gives its
// digit's code whatever the keyboard layout types on it (on a French layout the "1" key types
// "&"), as virtual-key codes do. Keys without a code give 0.
int windows_key_code(int qt_key, Qt::KeyboardModifiers modifiers, const NativeKey& native = {});
int windows_key_code(const QKeyEvent& event);

}  // namespace lumigrid
