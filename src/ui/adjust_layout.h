#pragma once
// The adjust window's controls as designed: names, ranges, initial values and boxes at 96 dots per
// inch, and how each box follows the window when it is resized.
#include <array>
#include <cstdint>
#include <string_view>

namespace lumigrid {

struct Box {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  friend bool operator==(const Box&, const Box&) = default;
};

// Edges a control keeps its distance to. Left and right together stretch it with the window; top
// and bottom together make it grow with it; right or bottom alone moves it with that edge.
enum Anchor : std::uint8_t {
  kAnchorLeft = 1,
  kAnchorTop = 2,
  kAnchorRight = 4,
  kAnchorBottom = 8,
  kAnchorTopLeft = kAnchorLeft | kAnchorTop,
};

// Where a control designed at `design` sits once the client area is `grow_x` wider and `grow_y`
// taller than designed.
Box anchored_box(const Box& design, std::uint8_t anchors, std::int32_t grow_x, std::int32_t grow_y);

inline constexpr std::int32_t kAdjustClientWidth = 933;
inline constexpr std::int32_t kAdjustClientHeight = 288;

// One parameter shown as a spin box (edit box with its up-down) and as a scroll bar.
struct AdjustParameter {
  std::string_view edit_name;
  std::string_view updown_name;
  std::string_view bar_name;
  std::int32_t updown_min;
  std::int32_t updown_max;
  std::int32_t initial;  // of the spin box and of the bar
  bool bar_vertical;
  std::int32_t bar_min;
  std::int32_t bar_max;
  Box edit;
  Box updown;
  std::uint8_t spin_anchors;  // edit box and up-down move together
  Box bar;
  std::uint8_t bar_anchors;
};

enum ParameterIndex : std::uint8_t { kH, kV, kHP, kVP, kSpace, kPitch, kPitch2, kParameterCount };

// One row per parameter: names; up-down min, max, initial; bar vertical, min, max;
// edit box, up-down, their anchors; bar, its anchors.
// clang-format off
inline constexpr std::array<AdjustParameter, kParameterCount> kAdjustParameters{{
    {"Edit_H", "UpDown_H", "ScrollBar_H", 1, 700, 50, false, 1, 700, {69, 8, 41, 21}, {110, 8, 16, 21}, kAnchorTopLeft, {133, 8, 792, 21}, kAnchorTopLeft | kAnchorRight},
    {"Edit_V", "UpDown_V", "ScrollBar_V", 1, 200, 30, true, 1, 100, {8, 261, 46, 21}, {54, 261, 16, 21}, kAnchorLeft | kAnchorBottom, {8, 8, 21, 247}, kAnchorTopLeft | kAnchorBottom},
    {"Edit_HP", "UpDown_HP", "ScrollBar_HP", 0, 100, 50, false, 0, 100, {69, 35, 41, 21}, {110, 35, 16, 21}, kAnchorTopLeft, {133, 35, 484, 21}, kAnchorTopLeft | kAnchorRight},
    {"Edit_VP", "UpDown_VP", "ScrollBar_VP", 0, 100, 50, true, 0, 100, {42, 234, 38, 21}, {80, 234, 16, 21}, kAnchorLeft | kAnchorBottom, {42, 62, 21, 166}, kAnchorTopLeft | kAnchorBottom},
    {"Edit_space", "UpDown_space", "ScrollBar_Space", 10, 3840, 100, false, 20, 3840, {129, 120, 65, 21}, {194, 120, 16, 21}, kAnchorTopLeft, {216, 120, 609, 21}, kAnchorTopLeft | kAnchorRight},
    {"Edit_pitch", "UpDown_Pitch", "ScrollBar_Pitch", 2, 50, 8, false, 2, 100, {129, 152, 65, 21}, {194, 152, 16, 21}, kAnchorTopLeft, {216, 152, 339, 21}, kAnchorTopLeft | kAnchorRight},
    {"Edit_pitch2", "UpDown_Pitch2", "ScrollBar_Pitch2", 2, 200, 50, false, 2, 200, {129, 179, 65, 21}, {194, 179, 16, 21}, kAnchorTopLeft, {216, 179, 339, 17}, kAnchorTopLeft},
}};
// clang-format on

// What a screen reader says of a parameter's controls: the edit box and the up-down are called
// by the parameter's name, the scroll bar too, with " (scroll bar)" after the description, and
// the up-down's arrows by the name and "up" or "down". Rows in ParameterIndex order.
struct ParameterSpeech {
  std::string_view name;
  std::string_view description;
};

inline constexpr std::array<ParameterSpeech, kParameterCount> kParameterSpeech{{
    {"H", "grid columns"},
    {"V", "grid rows"},
    {"HP", "gap in % of a cell, between columns"},
    {"VP", "gap in % of a cell, between rows"},
    {"Space", "tile size in pixels"},
    {"Pitch", "ring and stripe spacing in pixels"},
    {"Pitch2", "ring spacing of the moir\xC3\xA9 pattern towards the tile's centre, in pixels"},
}};

inline constexpr std::string_view kScrollBarSpeechSuffix = " (scroll bar)";
inline constexpr std::string_view kUpDownSpeechSuffix = " (up-down)";
inline constexpr ParameterSpeech kDrawingAreaListSpeech{
    "Drawing area", "builds the printable test-chart page of the size picked or typed"};
// The list's empty row shows nothing; a screen reader says this instead of nothing.
inline constexpr std::string_view kEmptyRowSpeech = "empty row";

// A label names the parameter whose edit box it stands beside (its buddy).
struct AdjustLabel {
  std::string_view name;
  std::string_view text;
  Box box;
  std::uint8_t anchors;
  ParameterIndex field;
};

inline constexpr std::array<AdjustLabel, 6> kAdjustLabels{{
    {"Label1", "%", {235, 38, 11, 13}, kAnchorTop | kAnchorRight, kHP},
    {"Label2", "%", {102, 237, 11, 13}, kAnchorLeft | kAnchorBottom, kVP},
    {"Label3", "MTF test chart (  Num 7)", {129, 101, 117, 13}, kAnchorTopLeft, kSpace},
    {"Label4", "Space (square size)", {831, 123, 94, 13}, kAnchorTop | kAnchorRight, kSpace},
    {"Label5", "Pitch", {564, 155, 23, 13}, kAnchorTop | kAnchorRight, kPitch},
    {"Label6", "Pitch", {564, 182, 23, 13}, kAnchorTop | kAnchorRight, kPitch2},
}};

inline constexpr Box kDrawingAreaListBox{640, 179, 209, 21};
inline constexpr std::string_view kDrawingAreaPrompt = "Create a Drawing Area";

// The drawing-area list's rows, UTF-8; the two "×" are U+00D7.
inline constexpr std::array<std::string_view, 20> kDrawingAreaRows{{
    "qHD 960x540",
    "HD 1280x720",
    "FHD 1920x1080",
    "QHD 2560x1080",
    "4K UHD 3840\xC3\x97"
    "2160",
    "8K UHD 7680\xC3\x97"
    "4320",
    "16K 15360*8640",
    "24K 23040*4320",
    "32K not working",
    "A4 600 dpi 7016x4961",
    "A3 600 dpi 9921x7016",
    "A2 600 dpi 14032x9921",
    "A1 600 dpi  19866x14031",
    "A0 not working",
    "B4 ",
    "B3",
    "B2",
    "B1",
    "B0",
    "",
}};

}  // namespace lumigrid
