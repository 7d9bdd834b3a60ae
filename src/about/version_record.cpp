#include "about/version_record.h"

#include <algorithm>
#include <fstream>
#include <vector>

namespace lumigrid::about {
namespace {

// Unmasks at run time through a volatile mask, so the compiler cannot fold the clear marker
// into this executable's constant data.
template <std::size_t N>
std::array<unsigned char, N> unmask(const std::array<unsigned char, N>& masked) {
  volatile unsigned char mask = detail::kMarkerMask;
  std::array<unsigned char, N> clear{};
  for (std::size_t i = 0; i < N; ++i) clear[i] = static_cast<unsigned char>(masked[i] ^ mask);
  return clear;
}

std::uint16_t read_u16(const unsigned char* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

// The version text of a full record starting at `record`, or empty when it does not hold.
std::string decode_record(const unsigned char* record,
                          const std::array<unsigned char, 6>& closing) {
  const unsigned char* numbers = record + kVersionMarkerSize;
  const std::uint16_t major = read_u16(numbers);
  const std::uint16_t minor = read_u16(numbers + 2);
  const std::uint16_t release = read_u16(numbers + 4);
  const std::uint16_t build = read_u16(numbers + 6);
  if (read_u16(numbers + 8) != detail::version_check(major, minor, release, build)) return {};
  if (!std::equal(closing.begin(), closing.end(), numbers + 10)) return {};
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(release) + "." +
         std::to_string(build);
}

}  // namespace

std::string find_file_version(const unsigned char* data, std::size_t size) {
  if (data == nullptr || size < kVersionRecordSize) return kUnknownVersion;
  const auto opening = unmask(detail::kMaskedOpening);
  const auto closing = unmask(detail::kMaskedClosing);
  const unsigned char* end = data + size;
  const unsigned char* from = data;
  while (true) {
    const unsigned char* hit = std::search(from, end, opening.begin(), opening.end());
    if (hit == end || static_cast<std::size_t>(end - hit) < kVersionRecordSize) break;
    std::string version = decode_record(hit, closing);
    if (!version.empty()) return version;
    from = hit + 1;
  }
  return kUnknownVersion;
}

std::string get_file_version(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return kUnknownVersion;
  // Read in blocks that overlap by one record less a byte, so a record across a block edge is
  // still found, without holding the whole file.
  constexpr std::size_t kBlock = 1 << 20;
  constexpr std::size_t kOverlap = kVersionRecordSize - 1;
  std::vector<unsigned char> buffer(kOverlap + kBlock);
  std::size_t kept = 0;
  while (file) {
    file.read(reinterpret_cast<char*>(buffer.data() + kept), static_cast<std::streamsize>(kBlock));
    const std::size_t got = static_cast<std::size_t>(file.gcount());
    if (got == 0) break;
    const std::size_t filled = kept + got;
    std::string version = find_file_version(buffer.data(), filled);
    if (version != kUnknownVersion) return version;
    kept = std::min(kOverlap, filled);
    std::copy(buffer.begin() + static_cast<std::ptrdiff_t>(filled - kept),
              buffer.begin() + static_cast<std::ptrdiff_t>(filled), buffer.begin());
  }
  return kUnknownVersion;
}

}  // namespace lumigrid::about
