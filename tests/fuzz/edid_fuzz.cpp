// A monitor's EDID as the X server hands it over: any bytes. The reader either refuses them
// with its one message or reads a block whose sizes the size choice may take, and the choice
// never gives a pitch outside the plausible range.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

#include "base/errors.h"
#include "monitor/edid.h"
#include "monitor/screen_size.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "EDID fault: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lumigrid::EdidInfo info;
  try {
    info = lumigrid::parse_edid(std::span<const std::uint8_t>(data, size));
  } catch (const lumigrid::Error& error) {
    if (std::strcmp(error.what(), "Not an EDID block") != 0) fail("another message");
    return 0;
  }
  if (size < lumigrid::kEdidBlockBytes) fail("a short block read");
  if (info.manufacturer.size() != 3) fail("not three letters");
  const lumigrid::MillimetreSize millimetres = info.size();
  if (millimetres.width < 0 || millimetres.height < 0) fail("a negative size");
  if (millimetres.width > 4095 || millimetres.height > 4095) fail("a size past 12 bits");
  for (const std::int32_t pixels : {1, 640, 1920, 7680}) {
    lumigrid::MonitorFacts facts;
    facts.width_pixels = pixels;
    facts.height_pixels = pixels / 2 + 1;
    facts.edid_size = millimetres;
    const lumigrid::ScreenScale scale = lumigrid::choose_screen_scale(facts);
    if (!lumigrid::plausible_pitch(scale.mm_per_pixel)) fail("an implausible pitch chosen");
  }
  return 0;
}
