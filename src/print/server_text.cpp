#include "print/server_text.h"

#include <cstdint>

#include "base/utf.h"

namespace lumigrid {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kEscape = 0x1B;
constexpr char32_t kBell = 0x07;
// The C1 introducers of sequences that run to a string terminator: DCS, SOS, OSC, PM, APC.
constexpr char32_t kDeviceControl = 0x90;
constexpr char32_t kStartOfString = 0x98;
constexpr char32_t kControlSequence = 0x9B;
constexpr char32_t kStringTerminator = 0x9C;
constexpr char32_t kOperatingSystemCommand = 0x9D;
constexpr char32_t kPrivacyMessage = 0x9E;
constexpr char32_t kApplicationCommand = 0x9F;

// Reads one UTF-8 character at `at`, advancing past it; a malformed sequence reads as U+FFFD
// and advances by one byte.
char32_t next_character(std::string_view text, std::size_t& at) {
  const auto sequence = decode_utf8_sequence(text, at);
  if (!sequence) {
    ++at;
    return kReplacement;
  }
  at += sequence->length;
  return sequence->code_point;
}

// Characters that change the order or direction the following text is shown in: embeddings,
// overrides and their end, isolates and their end, and the direction marks.
bool is_bidi_control(char32_t c) {
  return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E ||
         c == 0x200F || c == 0x061C;
}

// Breaks that would start a new line or column: shown as a space.
bool is_break(char32_t c) {
  return c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == 0x85 ||
         c == 0x2028 || c == 0x2029 || c == ' ';
}

bool is_control(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Skips a control sequence's parameters and intermediates and takes its final byte; any other
// byte ends it where it stands.
void skip_control_sequence(std::string_view text, std::size_t& at) {
  while (at < text.size()) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c >= 0x20 && c <= 0x3F) {
      ++at;
      continue;
    }
    if (c >= 0x40 && c <= 0x7E) ++at;
    return;
  }
}

// Skips a command string up to and including its terminator: BEL, ESC \ or ST.
void skip_command_string(std::string_view text, std::size_t& at) {
  while (at < text.size()) {
    const char32_t c = next_character(text, at);
    if (c == kBell || c == kStringTerminator) return;
    if (c == kEscape) {
      if (at < text.size() && text[at] == '\\') ++at;
      return;
    }
  }
}

}  // namespace

std::string clean_server_text(std::string_view raw, std::size_t max_characters) {
  std::string out;
  std::size_t kept = 0;
  bool pending_space = false;
  bool cut = false;
  std::size_t at = 0;
  while (at < raw.size()) {
    char32_t c = next_character(raw, at);
    if (c == kEscape) {
      // ESC [ is a control sequence; ESC ], P, X, ^ and _ open a command string; any other
      // ESC takes its intermediates and one final character.
      if (at >= raw.size()) break;
      const char introducer = raw[at++];
      if (introducer == '[') {
        skip_control_sequence(raw, at);
      } else if (introducer == ']' || introducer == 'P' || introducer == 'X' || introducer == '^' ||
                 introducer == '_') {
        skip_command_string(raw, at);
      } else {
        std::size_t i = at - 1;
        while (i < raw.size() && raw[i] >= 0x20 && raw[i] <= 0x2F) ++i;
        at = i < raw.size() ? i + 1 : i;
      }
      continue;
    }
    if (c == kControlSequence) {
      skip_control_sequence(raw, at);
      continue;
    }
    if (c == kDeviceControl || c == kStartOfString || c == kOperatingSystemCommand ||
        c == kPrivacyMessage || c == kApplicationCommand) {
      skip_command_string(raw, at);
      continue;
    }
    if (is_break(c)) {
      pending_space = kept > 0;
      continue;
    }
    if (is_control(c) || is_bidi_control(c)) continue;
    if (kept + (pending_space ? 1 : 0) + 1 > max_characters) {
      cut = true;
      break;
    }
    if (pending_space) {
      out += ' ';
      ++kept;
      pending_space = false;
    }
    append_utf8(out, c);
    ++kept;
  }
  if (cut) {
    // The ellipsis takes the last character's place: the text stays within the limit.
    while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) out.pop_back();
    if (!out.empty()) out.pop_back();
    while (!out.empty() && out.back() == ' ') out.pop_back();
    out += "\u2026";
  }
  return out;
}

std::string server_says(std::string_view raw) {
  const std::string text = clean_server_text(raw);
  if (text.empty()) return {};
  return "the server says \"" + text + "\"";
}

}  // namespace lumigrid
