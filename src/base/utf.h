#pragma once
// UTF-8 and UTF-16 text: one decoder for every place that reads UTF-8 (glyphs, drawing-area
// texts from the command line) and one encoder for text that arrives in UTF-16.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumigrid {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// One well-formed UTF-8 sequence: its code point and its length in bytes.
struct Utf8Sequence {
  char32_t code_point;
  std::size_t length;
};
// The sequence starting at `text[at]` (at < text.size()), or nothing when it is truncated,
// overlong, a surrogate, past U+10FFFF or not a sequence at all.
std::optional<Utf8Sequence> decode_utf8_sequence(std::string_view text, std::size_t at);

// Code points of UTF-8 text. Each malformed byte (a stray continuation, a truncated, overlong
// or surrogate sequence, a value past U+10FFFF) becomes U+FFFD and decoding resumes at the next
// byte.
std::vector<char32_t> decode_utf8(std::string_view utf8_text);

// UTF-8 to UTF-16 by the same rule; code points past U+FFFF become surrogate pairs.
std::u16string utf16_from_utf8(std::string_view utf8_text);

// Appends the UTF-8 form of a code point (which must be a Unicode scalar value).
void append_utf8(std::string& out, char32_t code_point);

}  // namespace lumigrid
