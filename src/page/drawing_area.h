#pragma once
// Drawing-area sizes: the pixel size of the printable page for a text of the adjust window's
// drawing-area list (a display format, a paper size, or two numbers joined by "x").
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumigrid {

struct AreaSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
  friend bool operator==(const AreaSize&, const AreaSize&) = default;
};

// Never fails: a text that names nothing known gives 1920 x 1080. Keys are matched as exact,
// case-sensitive substrings and the last matching one decides; paper sizes are
// Round(dpi x side in inches), landscape. Positions and the length of the number after the "x"
// count UTF-16 units, as the list's text holds them. A paper side that would not fit in 32 bits
// (an absurd dpi) saturates at the 32-bit limits.
AreaSize drawing_area_size(std::u16string_view text, std::int32_t dpi);
// The same for UTF-8 text (the command line); malformed bytes read as U+FFFD.
AreaSize drawing_area_size(std::string_view utf8_text, std::int32_t dpi);

// A paper size of the list: ISO 216 A5 to A0 and B5 to B0, except B4, the JIS size.
struct PaperSize {
  std::u16string_view name;  // "A4", "B4" ...
  double long_mm = 0;
  double short_mm = 0;
};

// The paper whose key decides the size of `text` (the last one that matches), or nothing when
// the text names a display format, two numbers or nothing known.
std::optional<PaperSize> drawing_area_paper(std::u16string_view text);

// A paper a pattern is printed on, by its name in any case ("A4", "letter"): the list's A5 to A0
// and B5 to B0, and the North American Letter, Legal and Tabloid; nothing for another name.
std::optional<PaperSize> sheet_paper(std::string_view name);

}  // namespace lumigrid
