// The update index as the network delivers it: any bytes go through the text step and the
// parser. Refusals are IndexErrors; anything else escaping, a crash or a hang is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "about/update_index.h"

namespace {

// The text step's output is UTF-8 whenever it accepts UTF-16, and unchanged otherwise.
bool is_valid_utf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80   ? 1
                         : lead < 0xC2 ? 0
                         : lead < 0xE0 ? 2
                         : lead < 0xF0 ? 3
                         : lead < 0xF5 ? 4
                                       : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string text;
  try {
    text = lumigrid::about::index_bytes_to_text(bytes);
  } catch (const lumigrid::about::IndexError&) {
    return 0;
  }
  const bool utf16 =
      size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF));
  if (utf16 && !is_valid_utf8(text)) std::abort();
  try {
    const lumigrid::about::ReleaseIndex index = lumigrid::about::parse_index(text);
    // Every member comes from the text: none can be longer than it.
    if (index.file_name.size() > text.size() || index.version.size() > text.size() ||
        index.website.size() > text.size())
      std::abort();
  } catch (const lumigrid::about::IndexError&) {
  }
  return 0;
}
