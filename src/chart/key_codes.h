#pragma once
// The chart and adjust windows speak in Windows virtual-key codes: the caption shows them and
// the handlers switch on them, whatever the toolkit reports.
#include <Qt>

class QKeyEvent;

namespace lumigrid {

inline constexpr int kVkEscape = 27;
inline constexpr int kVkLeft = 37;
inline constexpr int kVkUp = 38;
inline constexpr int kVkRight = 39;
inline constexpr int kVkDown = 40;
inline constexpr int kVkDigit0 = 48;
inline constexpr int kVkNumpad0 = 96;
inline constexpr int kVkF11 = 122;

// The virtual-key code of a Qt key with its modifiers (the keypad modifier picks the keypad
// codes). A digit typed with Shift on a US layout arrives as its symbol and still gives the
// digit's code. Keys without a code give 0.
int windows_key_code(int qt_key, Qt::KeyboardModifiers modifiers);
int windows_key_code(const QKeyEvent& event);

}  // namespace lumigrid
