#include "monitor/edid.h"

#include <array>
#include <numeric>

#include "base/errors.h"

namespace lumigrid {

namespace {

constexpr std::array<std::uint8_t, 8> kHeader = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr std::size_t kManufacturer = 8;
constexpr std::size_t kProductCode = 10;
constexpr std::size_t kSerial = 12;
constexpr std::size_t kImageWidthCm = 21;
constexpr std::size_t kImageHeightCm = 22;
constexpr std::size_t kFirstDescriptor = 54;

// Three letters of five bits each, 1 for 'A', packed big-endian into two bytes.
std::string manufacturer_letters(std::uint8_t high, std::uint8_t low) {
  const unsigned packed = (unsigned(high) << 8) | low;
  std::string letters;
  for (const unsigned shift : {10u, 5u, 0u}) {
    const unsigned code = (packed >> shift) & 0x1F;
    letters += code >= 1 && code <= 26 ? char('A' + code - 1) : '?';
  }
  return letters;
}

}  // namespace

MillimetreSize EdidInfo::size() const {
  if (timing_width_mm > 0 && timing_height_mm > 0)
    return {double(timing_width_mm), double(timing_height_mm)};
  if (image_width_cm > 0 && image_height_cm > 0) {
    return {double(image_width_cm) * 10.0, double(image_height_cm) * 10.0};
  }
  return {};
}

EdidInfo parse_edid(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kEdidBlockBytes ||
      !std::equal(kHeader.begin(), kHeader.end(), bytes.begin())) {
    throw Error("Not an EDID block");
  }
  const std::span<const std::uint8_t> block = bytes.first(kEdidBlockBytes);
  EdidInfo info;
  info.checksum_valid =
      std::accumulate(block.begin(), block.end(), 0u,
                      [](unsigned sum, std::uint8_t byte) { return (sum + byte) & 0xFFu; }) == 0;
  info.manufacturer = manufacturer_letters(block[kManufacturer], block[kManufacturer + 1]);
  info.product_code = std::uint16_t(block[kProductCode] | (block[kProductCode + 1] << 8));
  info.serial = std::uint32_t(block[kSerial]) | (std::uint32_t(block[kSerial + 1]) << 8) |
                (std::uint32_t(block[kSerial + 2]) << 16) |
                (std::uint32_t(block[kSerial + 3]) << 24);
  info.image_width_cm = block[kImageWidthCm];
  info.image_height_cm = block[kImageHeightCm];
  // A descriptor whose pixel clock (its first two bytes) is not 0 is a detailed timing; its
  // image size is 12 bits a side, the high nibbles sharing byte 14.
  const std::span<const std::uint8_t> first = block.subspan(kFirstDescriptor, 18);
  if (first[0] != 0 || first[1] != 0) {
    info.timing_width_mm = first[12] | ((first[14] & 0xF0) << 4);
    info.timing_height_mm = first[13] | ((first[14] & 0x0F) << 8);
  }
  return info;
}

}  // namespace lumigrid
