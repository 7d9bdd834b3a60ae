#pragma once
// The keys of the chart and adjust windows, in Windows virtual-key codes (the caption shows them
// and the handlers switch on them, whatever the toolkit reports), and the one table that says
// what a released key does: both windows answer the same keys the same way.
#include <cstdint>

namespace lumigrid {

inline constexpr int kVkReturn = 13;  // the ruler screen: stores the calibration
inline constexpr int kVkEscape = 27;
inline constexpr int kVkLeft = 37;
inline constexpr int kVkUp = 38;
inline constexpr int kVkRight = 39;
inline constexpr int kVkDown = 40;
inline constexpr int kVkDelete = 46;  // the ruler screen: forgets the calibration
inline constexpr int kVkDigit0 = 48;
inline constexpr int kVkApps = 93;  // the Menu key: the caption shows it, nothing else
inline constexpr int kVkNumpad0 = 96;
inline constexpr int kVkF10 = 121;  // with Shift, the Menu key of keyboards that lack one
inline constexpr int kVkF11 = 122;

enum class KeyCommand {
  None,              // the key does nothing on release
  LeaveFullScreen,   // Escape
  DrawPattern,       // a digit of the main row or of the keypad: its pattern
  ToggleFullScreen,  // F11
};

struct PatternKey {
  KeyCommand command = KeyCommand::None;
  std::int32_t pattern = 0;  // for DrawPattern: the digit, 0 to 9
};

// What releasing `key` does in the chart and adjust windows.
constexpr PatternKey pattern_key(int key) {
  if (key == kVkEscape) return {KeyCommand::LeaveFullScreen};
  if (key >= kVkDigit0 && key <= kVkDigit0 + 9) return {KeyCommand::DrawPattern, key - kVkDigit0};
  if (key >= kVkNumpad0 && key <= kVkNumpad0 + 9) {
    return {KeyCommand::DrawPattern, key - kVkNumpad0};
  }
  if (key == kVkF11) return {KeyCommand::ToggleFullScreen};
  return {};
}

}  // namespace lumigrid
