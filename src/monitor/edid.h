#pragma once
// The base block of a monitor's EDID (the 128 bytes every monitor sends first): who made it, its
// product and serial numbers, and the two sizes it states for its picture.
#include <cstdint>
#include <span>
#include <string>

namespace lumigrid {

inline constexpr std::size_t kEdidBlockBytes = 128;

// A picture size in millimetres; 0 on a side means the monitor does not say.
struct MillimetreSize {
  double width = 0;
  double height = 0;
  bool known() const { return width > 0 && height > 0; }
  friend bool operator==(const MillimetreSize&, const MillimetreSize&) = default;
};

struct EdidInfo {
  // The block's bytes sum to 0 modulo 256. A block that fails it was garbled on its way, and
  // nothing in it is to be trusted.
  bool checksum_valid = false;
  std::string manufacturer;        // three letters, such as "DEL"; "?" for a code out of range
  std::uint16_t product_code = 0;  // little-endian in the block
  std::uint32_t serial = 0;        // 0 when the monitor does not number itself
  // The maximum image size in whole centimetres (bytes 21 and 22; 0 when not stated, and an
  // aspect ratio rather than a size when only one of them is 0).
  std::int32_t image_width_cm = 0;
  std::int32_t image_height_cm = 0;
  // The image size of the first detailed timing, in millimetres; 0 x 0 when the first
  // descriptor is not a timing or states no size.
  std::int32_t timing_width_mm = 0;
  std::int32_t timing_height_mm = 0;

  // The picture's size: the timing's millimetres where both are stated, else the centimetres,
  // else unknown (0 x 0).
  MillimetreSize size() const;
};

// Reads the base block at the start of `bytes` (extension blocks after it are left alone).
// Throws lumigrid::Error "Not an EDID block" when there are fewer than 128 bytes or the fixed
// header 00 FF FF FF FF FF FF 00 is missing.
EdidInfo parse_edid(std::span<const std::uint8_t> bytes);

}  // namespace lumigrid
