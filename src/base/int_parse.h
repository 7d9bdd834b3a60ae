#pragma once
// The platform's integer conversion, shared by the settings file and the drawing-area sizes.
#include <cstdint>
#include <optional>
#include <string_view>

namespace lumigrid {

// Optional leading blanks, an optional sign, then decimal digits, or hexadecimal digits after
// a "$", "x", "X", "0x" or "0X" prefix; nothing may follow the digits and the value must fit
// in 32 bits (hexadecimal up to FFFFFFFF, read as the signed value of those bits).
// Anything else gives no value.
std::optional<std::int32_t> parse_platform_int(std::string_view text);

}  // namespace lumigrid
