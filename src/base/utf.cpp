#include "base/utf.h"

#include <cstddef>

namespace lumigrid {

std::optional<Utf8Sequence> decode_utf8_sequence(std::string_view text, std::size_t at) {
  const auto byte_at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte_at(at);
  std::size_t length = 0;
  char32_t code = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    length = 1;
    code = lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1Fu;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0Fu;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07u;
    minimum = 0x10000;
  }
  if (length == 0 || at + length > text.size()) return std::nullopt;
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char next = byte_at(at + k);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    code = (code << 6) | (next & 0x3Fu);
  }
  // Overlong forms, surrogates and values past U+10FFFF are malformed too.
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
  return Utf8Sequence{code, length};
}

std::vector<char32_t> decode_utf8(std::string_view utf8_text) {
  std::vector<char32_t> out;
  out.reserve(utf8_text.size());
  std::size_t i = 0;
  while (i < utf8_text.size()) {
    if (const auto sequence = decode_utf8_sequence(utf8_text, i)) {
      out.push_back(sequence->code_point);
      i += sequence->length;
    } else {
      out.push_back(kReplacementCharacter);
      ++i;  // resynchronise on the next byte
    }
  }
  return out;
}

std::u16string utf16_from_utf8(std::string_view utf8_text) {
  std::u16string out;
  out.reserve(utf8_text.size());
  for (char32_t code : decode_utf8(utf8_text)) {
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
  }
  return out;
}

void append_utf8(std::string& out, char32_t code_point) {
  const auto byte = [&](char32_t value) { out.push_back(static_cast<char>(value)); };
  if (code_point < 0x80) {
    byte(code_point);
  } else if (code_point < 0x800) {
    byte(0xC0 | (code_point >> 6));
    byte(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    byte(0xE0 | (code_point >> 12));
    byte(0x80 | ((code_point >> 6) & 0x3F));
    byte(0x80 | (code_point & 0x3F));
  } else {
    byte(0xF0 | (code_point >> 18));
    byte(0x80 | ((code_point >> 12) & 0x3F));
    byte(0x80 | ((code_point >> 6) & 0x3F));
    byte(0x80 | (code_point & 0x3F));
  }
}

}  // namespace lumigrid
