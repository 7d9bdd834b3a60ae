#include "page/drawing_area.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>

#include "base/int_parse.h"
#include "base/utf.h"

namespace lumigrid {

namespace {

constexpr AreaSize kFallback{1920, 1080};
// The number after the "x" is read from at most this many characters.
constexpr std::size_t kRightPartLength = 100;

struct DisplayTest {
  std::array<std::u16string_view, 3> keys;  // empty entries are unused
  AreaSize size;
};

// Tested in this order; every match overwrites the size, so "24K" beats the "4K" inside it.
constexpr std::array<DisplayTest, 9> kDisplayTests{{
    {{u"qHD"}, {960, 540}},
    {{u"1280x720"}, {1280, 720}},
    {{u"FHD", u"HD 1080", u"2K"}, {1920, 1080}},
    {{u"QHD", u"UWHD"}, {2560, 1080}},
    {{u"UHD-1", u"3840x2160", u"4K"}, {3840, 2160}},
    {{u"8K"}, {7680, 4320}},
    {{u"16K"}, {15360, 8640}},
    {{u"24K"}, {23040, 12960}},
    {{u"32K"}, {30720, 17280}},
}};

// ISO 216, except B4 which is the JIS size 364 x 257 mm.
constexpr std::array<PaperSize, 12> kPaperTests{{
    {u"A5", 210, 148},
    {u"A4", 297, 210},
    {u"A3", 420, 297},
    {u"A2", 594, 420},
    {u"A1", 841, 594},
    {u"A0", 1189, 841},
    {u"B5", 250, 176},
    {u"B4", 364, 257},
    {u"B3", 500, 353},
    {u"B2", 707, 500},
    {u"B1", 1000, 707},
    {u"B0", 1414, 1000},
}};

// The North American papers a sheet may also be printed on; no drawing area names them.
constexpr std::array<PaperSize, 3> kNorthAmericanPapers{{
    {u"Letter", 279.4, 215.9},
    {u"Legal", 355.6, 215.9},
    {u"Tabloid", 431.8, 279.4},
}};

bool same_name(std::u16string_view paper, std::string_view name) {
  if (paper.size() != name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto lower = [](char32_t c) { return c >= U'A' && c <= U'Z' ? c - U'A' + U'a' : c; };
    if (lower(char32_t(paper[i])) != lower(char32_t(static_cast<unsigned char>(name[i])))) {
      return false;
    }
  }
  return true;
}

bool contains(std::u16string_view text, std::u16string_view key) {
  return !key.empty() && text.find(key) != std::u16string_view::npos;
}

// A part of the text read as an integer; anything the conversion refuses counts as -1.
std::int32_t part_value(std::u16string_view part) {
  std::string narrow;
  narrow.reserve(part.size());
  for (const char16_t unit : part) {
    if (unit > 0x7F) return -1;  // no character outside ASCII belongs to a number
    narrow.push_back(static_cast<char>(unit));
  }
  return parse_platform_int(narrow).value_or(-1);
}

std::int32_t paper_pixels(std::int32_t dpi, double millimetres) {
  const double pixels = std::nearbyint(double(dpi) * (millimetres / 25.4));
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  if (pixels > kMax) return std::numeric_limits<std::int32_t>::max();
  if (pixels < kMin) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(pixels);
}

}  // namespace

AreaSize drawing_area_size(std::u16string_view text, std::int32_t dpi) {
  AreaSize size{0, 0};

  // Two numbers joined by a lower-case x, which needs at least two characters before it.
  const std::size_t x_at = text.find(u'x');
  if (x_at != std::u16string_view::npos && x_at >= 2) {
    const std::int32_t left = part_value(text.substr(0, x_at));
    const std::int32_t right = part_value(text.substr(x_at + 1, kRightPartLength));
    size = (left < 1 || right < 1) ? kFallback : AreaSize{left, right};
  }

  for (const DisplayTest& test : kDisplayTests) {
    for (const std::u16string_view key : test.keys) {
      if (contains(text, key)) {
        size = test.size;
        break;
      }
    }
  }
  if (const auto paper = drawing_area_paper(text)) {
    size = {paper_pixels(dpi, paper->long_mm), paper_pixels(dpi, paper->short_mm)};
  }

  if (size.width == 0 || size.height == 0) size = kFallback;
  return size;
}

std::optional<PaperSize> drawing_area_paper(std::u16string_view text) {
  std::optional<PaperSize> found;
  for (const PaperSize& paper : kPaperTests) {
    if (contains(text, paper.name)) found = paper;
  }
  return found;
}

AreaSize drawing_area_size(std::string_view utf8_text, std::int32_t dpi) {
  return drawing_area_size(std::u16string_view(utf16_from_utf8(utf8_text)), dpi);
}

std::optional<PaperSize> sheet_paper(std::string_view name) {
  for (const PaperSize& paper : kPaperTests) {
    if (same_name(paper.name, name)) return paper;
  }
  for (const PaperSize& paper : kNorthAmericanPapers) {
    if (same_name(paper.name, name)) return paper;
  }
  return std::nullopt;
}

}  // namespace lumigrid
