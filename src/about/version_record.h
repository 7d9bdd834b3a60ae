#pragma once
// The file version of an executable: a record the build embeds in the executable file, and the
// reader that finds it again in the file at a path.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace lumigrid::about {

// Shown for a file that holds no version record or cannot be read.
inline constexpr const char* kUnknownVersion = "?.?.?.?";

// Record layout: 16-byte marker, four 16-bit little-endian numbers (major, minor, release,
// build), a 16-bit little-endian check over the numbers, 6-byte closing marker.
inline constexpr std::size_t kVersionMarkerSize = 16;
inline constexpr std::size_t kVersionRecordSize = kVersionMarkerSize + 8 + 2 + 6;
using VersionRecord = std::array<unsigned char, kVersionRecordSize>;

namespace detail {
// The markers are kept masked, so that only an embedded record holds them in the clear and the
// reader's own copy in the executable is never taken for the record.
inline constexpr unsigned char kMarkerMask = 0x5A;
inline constexpr std::array<unsigned char, kVersionMarkerSize> kMaskedOpening = {
    'L' ^ 0x5A, 'G' ^ 0x5A, 'R' ^ 0x5A, 'D' ^ 0x5A, '-' ^ 0x5A, 'F' ^ 0x5A, 'I' ^ 0x5A, 'L' ^ 0x5A,
    'E' ^ 0x5A, '-' ^ 0x5A, 'V' ^ 0x5A, 'E' ^ 0x5A, 'R' ^ 0x5A, 'S' ^ 0x5A, 'N' ^ 0x5A, ':' ^ 0x5A};
inline constexpr std::array<unsigned char, 6> kMaskedClosing = {':' ^ 0x5A, 'E' ^ 0x5A,  'N' ^ 0x5A,
                                                                'D' ^ 0x5A, '\n' ^ 0x5A, 0 ^ 0x5A};

constexpr std::uint16_t version_check(std::uint16_t major, std::uint16_t minor,
                                      std::uint16_t release, std::uint16_t build) {
  std::uint32_t sum = 0x4C47u;
  for (std::uint16_t part : {major, minor, release, build}) sum = (sum * 31u + part) & 0xFFFFu;
  return static_cast<std::uint16_t>(sum);
}
}  // namespace detail

// Builds the record at compile time; the executable keeps it with [[gnu::used]].
constexpr VersionRecord make_version_record(std::uint16_t major, std::uint16_t minor,
                                            std::uint16_t release, std::uint16_t build) {
  VersionRecord record{};
  std::size_t at = 0;
  for (unsigned char masked : detail::kMaskedOpening) record[at++] = masked ^ detail::kMarkerMask;
  const std::uint16_t check = detail::version_check(major, minor, release, build);
  for (std::uint16_t part : {major, minor, release, build, check}) {
    record[at++] = static_cast<unsigned char>(part & 0xFF);
    record[at++] = static_cast<unsigned char>(part >> 8);
  }
  for (unsigned char masked : detail::kMaskedClosing) record[at++] = masked ^ detail::kMarkerMask;
  return record;
}

// "major.minor.release.build" of the first valid record in the file at `path`, each number in
// decimal without leading zeros; kUnknownVersion when there is none or the file cannot be read.
std::string get_file_version(const std::string& path);

// The same search over bytes already in memory.
std::string find_file_version(const unsigned char* data, std::size_t size);

}  // namespace lumigrid::about
