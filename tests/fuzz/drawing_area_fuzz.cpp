// The drawing-area text: any bytes, at the page's resolution and at the extremes the command
// line accepts. The size must never be zero in either direction (that is what the fallback is
// for), the UTF-8 and UTF-16 entries must agree, and the UTF-16 text must be well formed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "base/utf.h"
#include "page/drawing_area.h"
#include "page/page_build.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "drawing area fault: %s\n", what);
  std::abort();
}

bool is_well_formed_utf16(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    }
  }
  return true;
}

constexpr std::int32_t kDpis[] = {lumigrid::kPageDpi,
                                  1,
                                  0,
                                  -300,
                                  std::numeric_limits<std::int32_t>::max(),
                                  std::numeric_limits<std::int32_t>::min()};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view utf8(reinterpret_cast<const char*>(data), size);
  const std::u16string utf16 = lumigrid::utf16_from_utf8(utf8);
  if (!is_well_formed_utf16(utf16)) fail("malformed UTF-16");
  // One unit per byte at most: every sequence shrinks or keeps its length.
  if (utf16.size() > utf8.size()) fail("UTF-16 longer than its UTF-8");
  for (const std::int32_t dpi : kDpis) {
    const lumigrid::AreaSize from_utf8 = lumigrid::drawing_area_size(utf8, dpi);
    const lumigrid::AreaSize from_utf16 =
        lumigrid::drawing_area_size(std::u16string_view(utf16), dpi);
    if (!(from_utf8 == from_utf16)) fail("UTF-8 and UTF-16 texts differ");
    if (from_utf8.width == 0 || from_utf8.height == 0) fail("a side of zero");
    // The page is built at this resolution: its sides are sizes, never negative.
    if (dpi == lumigrid::kPageDpi && (from_utf8.width < 0 || from_utf8.height < 0))
      fail("a negative page side");
  }
  return 0;
}
