#include "ui/key_codes.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace lumigrid {
namespace {

struct KeyCode {
  int qt_key;
  int code;
};

// Keys whose code does not follow from their character.
constexpr KeyCode kNamedKeys[] = {
    {Qt::Key_Backspace, 8},
    {Qt::Key_Tab, 9},
    {Qt::Key_Backtab, 9},
    {Qt::Key_Clear, 12},
    {Qt::Key_Return, 13},
    {Qt::Key_Enter, 13},
    {Qt::Key_Shift, 16},
    {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18},
    {Qt::Key_AltGr, 18},
    {Qt::Key_Pause, 19},
    {Qt::Key_CapsLock, 20},
    {Qt::Key_Escape, kVkEscape},
    {Qt::Key_Space, 32},
    {Qt::Key_PageUp, 33},
    {Qt::Key_PageDown, 34},
    {Qt::Key_End, 35},
    {Qt::Key_Home, 36},
    {Qt::Key_Left, kVkLeft},
    {Qt::Key_Up, kVkUp},
    {Qt::Key_Right, kVkRight},
    {Qt::Key_Down, kVkDown},
    {Qt::Key_Select, 41},
    {Qt::Key_Printer, 42},
    {Qt::Key_Execute, 43},
    {Qt::Key_Print, 44},
    {Qt::Key_Insert, 45},
    {Qt::Key_Delete, 46},
    {Qt::Key_Help, 47},
    {Qt::Key_Meta, 91},
    {Qt::Key_Super_L, 91},
    {Qt::Key_Super_R, 92},
    {Qt::Key_Menu, kVkApps},
    {Qt::Key_Sleep, 95},
    {Qt::Key_NumLock, 144},
    {Qt::Key_ScrollLock, 145},
    // Punctuation of the US layout, unshifted and shifted.
    {Qt::Key_Semicolon, 186},
    {Qt::Key_Colon, 186},
    {Qt::Key_Equal, 187},
    {Qt::Key_Plus, 187},
    {Qt::Key_Comma, 188},
    {Qt::Key_Less, 188},
    {Qt::Key_Minus, 189},
    {Qt::Key_Underscore, 189},
    {Qt::Key_Period, 190},
    {Qt::Key_Greater, 190},
    {Qt::Key_Slash, 191},
    {Qt::Key_Question, 191},
    {Qt::Key_QuoteLeft, 192},
    {Qt::Key_AsciiTilde, 192},
    {Qt::Key_BracketLeft, 219},
    {Qt::Key_BraceLeft, 219},
    {Qt::Key_Backslash, 220},
    {Qt::Key_Bar, 220},
    {Qt::Key_BracketRight, 221},
    {Qt::Key_BraceRight, 221},
    {Qt::Key_Apostrophe, 222},
    {Qt::Key_QuoteDbl, 222},
};

// Shift with a main-row digit on the US layout.
constexpr KeyCode kShiftedDigits[] = {
    {Qt::Key_ParenRight, '0'},  {Qt::Key_Exclam, '1'},    {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},  {Qt::Key_Dollar, '4'},    {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'}, {Qt::Key_Ampersand, '7'}, {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},
};

// Operators of the numeric keypad.
constexpr KeyCode kKeypadKeys[] = {
    {Qt::Key_Asterisk, 106}, {Qt::Key_Plus, 107},  {Qt::Key_Minus, 109},
    {Qt::Key_Period, 110},   {Qt::Key_Comma, 110}, {Qt::Key_Slash, 111},
};

int find_code(const KeyCode* begin, const KeyCode* end, int qt_key) {
  for (const KeyCode* entry = begin; entry != end; ++entry) {
    if (entry->qt_key == qt_key) return entry->code;
  }
  return 0;
}

}  // namespace

int windows_key_code(int qt_key, Qt::KeyboardModifiers modifiers, const NativeKey& native) {
  const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
  if (native.system == NativeKey::System::Windows && native.virtual_key != 0) {
    return int(native.virtual_key);
  }
  constexpr unsigned kX11Digit1 = 10, kX11Digit0 = 19;
  if (native.system == NativeKey::System::X11 && !keypad && native.scan_code >= kX11Digit1 &&
      native.scan_code <= kX11Digit0) {
    return kVkDigit0 + int((native.scan_code - kX11Digit1 + 1) % 10);  // 10 is "1", 19 is "0"
  }
  if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) {
    return (keypad ? kVkNumpad0 : kVkDigit0) + (qt_key - Qt::Key_0);
  }
  if (keypad) {
    if (int code = find_code(std::begin(kKeypadKeys), std::end(kKeypadKeys), qt_key)) {
      return code;
    }
  }
  if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) return 65 + (qt_key - Qt::Key_A);
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return 112 + (qt_key - Qt::Key_F1);
  if (int code = find_code(std::begin(kShiftedDigits), std::end(kShiftedDigits), qt_key)) {
    return code;
  }
  return find_code(std::begin(kNamedKeys), std::end(kNamedKeys), qt_key);
}

NativeKey::System native_key_system(QStringView platform_name) {
  if (platform_name == u"xcb" || platform_name.startsWith(u"wayland")) {
    return NativeKey::System::X11;
  }
  if (platform_name == u"windows") return NativeKey::System::Windows;
  return NativeKey::System::Unknown;
}

int windows_key_code(const QKeyEvent& event) {
  NativeKey native;
  static const NativeKey::System kSystem = native_key_system(QGuiApplication::platformName());
  native.system = kSystem;
  native.scan_code = event.nativeScanCode();
  native.virtual_key = event.nativeVirtualKey();
  return windows_key_code(event.key(), event.modifiers(), native);
}

}  // namespace lumigrid
