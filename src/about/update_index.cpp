#include "about/update_index.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "base/utf.h"

namespace lumigrid::about {
namespace {

using json = nlohmann::json;

// Walks the parse events and keeps the first string value of each wanted member of the top
// object; values nested deeper are skipped.
class IndexReader : public nlohmann::json_sax<json> {
 public:
  static constexpr std::array<const char*, 3> kNames = {"file_name", "version", "website"};

  bool top_is_object = false;
  std::array<bool, 3> seen{};
  std::array<bool, 3> is_text{};
  std::array<std::string, 3> values;

  bool null() override { return scalar(); }
  bool boolean(bool) override { return scalar(); }
  bool number_integer(number_integer_t) override { return scalar(); }
  bool number_unsigned(number_unsigned_t) override { return scalar(); }
  bool number_float(number_float_t, const string_t&) override { return scalar(); }
  bool binary(binary_t&) override { return scalar(); }
  bool string(string_t& value) override {
    if (depth_ == 1 && pending_ >= 0) {
      is_text[static_cast<std::size_t>(pending_)] = true;
      values[static_cast<std::size_t>(pending_)] = value;
    }
    pending_ = -1;
    return true;
  }
  bool start_object(std::size_t) override {
    if (depth_ == 0) top_is_object = true;
    pending_ = -1;
    ++depth_;
    return true;
  }
  bool key(string_t& name) override {
    pending_ = -1;
    if (depth_ != 1) return true;
    for (std::size_t i = 0; i < kNames.size(); ++i) {
      if (name == kNames[i] && !seen[i]) {
        seen[i] = true;
        pending_ = static_cast<int>(i);
      }
    }
    return true;
  }
  bool end_object() override {
    --depth_;
    return true;
  }
  bool start_array(std::size_t) override {
    pending_ = -1;
    ++depth_;
    return true;
  }
  bool end_array() override {
    --depth_;
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  // A member whose first value is not a string stays seen but not text.
  bool scalar() {
    pending_ = -1;
    return true;
  }

  int depth_ = 0;
  int pending_ = -1;
};

std::string utf16_to_utf8(const std::string& bytes, std::size_t start, bool big_endian) {
  if ((bytes.size() - start) % 2 != 0) throw IndexError("The index file is not valid UTF-16");
  auto unit_at = [&](std::size_t at) {
    const auto hi = static_cast<unsigned char>(bytes[big_endian ? at : at + 1]);
    const auto lo = static_cast<unsigned char>(bytes[big_endian ? at + 1 : at]);
    return static_cast<std::uint32_t>((hi << 8) | lo);
  };
  std::string out;
  for (std::size_t at = start; at < bytes.size(); at += 2) {
    std::uint32_t code = unit_at(at);
    if (code >= 0xDC00 && code <= 0xDFFF) throw IndexError("The index file is not valid UTF-16");
    if (code >= 0xD800 && code <= 0xDBFF) {
      if (at + 2 >= bytes.size()) throw IndexError("The index file is not valid UTF-16");
      const std::uint32_t low = unit_at(at + 2);
      if (low < 0xDC00 || low > 0xDFFF) throw IndexError("The index file is not valid UTF-16");
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      at += 2;
    }
    append_utf8(out, static_cast<char32_t>(code));
  }
  return out;
}

bool starts_with_bytes(const std::string& text, std::initializer_list<unsigned char> prefix) {
  if (text.size() < prefix.size()) return false;
  std::size_t i = 0;
  for (unsigned char b : prefix) {
    if (static_cast<unsigned char>(text[i++]) != b) return false;
  }
  return true;
}

}  // namespace

std::string index_bytes_to_text(const std::string& bytes) {
  if (starts_with_bytes(bytes, {0xEF, 0xBB, 0xBF})) return bytes.substr(3);
  if (starts_with_bytes(bytes, {0xFF, 0xFE})) return utf16_to_utf8(bytes, 2, false);
  if (starts_with_bytes(bytes, {0xFE, 0xFF})) return utf16_to_utf8(bytes, 2, true);
  return bytes;
}

ReleaseIndex parse_index(const std::string& json_text) {
  IndexReader reader;
  if (!json::sax_parse(json_text, &reader)) throw IndexError("The index file is not valid JSON");
  if (!reader.top_is_object) throw IndexError("The index file does not hold a JSON object");
  for (std::size_t i = 0; i < IndexReader::kNames.size(); ++i) {
    if (!reader.seen[i]) {
      throw IndexError(std::string("The index file has no \"") + IndexReader::kNames[i] + "\"");
    }
    if (!reader.is_text[i]) {
      throw IndexError(std::string("The index file's \"") + IndexReader::kNames[i] +
                       "\" is not a string");
    }
  }
  // The version lands in a button's caption: one short line, or the index is unusable.
  const std::string& version = reader.values[1];
  const bool one_short_line = version.size() <= kMaxVersionLength &&
                              std::none_of(version.begin(), version.end(), [](char c) {
                                const auto byte = static_cast<unsigned char>(c);
                                return byte < 0x20 || byte == 0x7F;
                              });
  if (!one_short_line) throw IndexError("The index file's \"version\" is not one short line");
  return ReleaseIndex{reader.values[0], reader.values[1], reader.values[2]};
}

}  // namespace lumigrid::about
