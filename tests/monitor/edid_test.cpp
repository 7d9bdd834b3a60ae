// The EDID base block read from blocks built byte by byte, and the same blocks as Debian's
// edid-decode reads them.
#include "monitor/edid.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "base/errors.h"
#include "support/temp_folder.h"

namespace lumigrid {
namespace {

// What a test block says; the builder lays it out as a monitor would send it.
struct BlockFields {
  const char* name;
  const char* manufacturer;  // three letters A-Z
  std::uint16_t product = 0;
  std::uint32_t serial = 0;
  std::uint8_t width_cm = 0;
  std::uint8_t height_cm = 0;
  bool timing = true;  // the first descriptor a detailed timing (else a monitor-name descriptor)
  std::int32_t timing_width_mm = 0;
  std::int32_t timing_height_mm = 0;
  MillimetreSize size;  // the size the reader should choose
};

std::vector<std::uint8_t> build_block(const BlockFields& f) {
  std::vector<std::uint8_t> b(kEdidBlockBytes, 0);
  const std::array<std::uint8_t, 8> header = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
  std::copy(header.begin(), header.end(), b.begin());
  const unsigned letters = (unsigned(f.manufacturer[0] - '@') << 10) |
                           (unsigned(f.manufacturer[1] - '@') << 5) |
                           unsigned(f.manufacturer[2] - '@');
  b[8] = std::uint8_t(letters >> 8);
  b[9] = std::uint8_t(letters & 0xFF);
  b[10] = std::uint8_t(f.product & 0xFF);
  b[11] = std::uint8_t(f.product >> 8);
  for (int i = 0; i < 4; ++i) b[std::size_t(12 + i)] = std::uint8_t(f.serial >> (8 * i));
  b[16] = 1;   // week
  b[17] = 30;  // 2020
  b[18] = 1;   // version 1.4
  b[19] = 4;
  b[20] = 0xA5;  // digital, 8 bits, DisplayPort
  b[21] = f.width_cm;
  b[22] = f.height_cm;
  std::size_t d = 54;
  if (f.timing) {
    // 1920x1080 at 60 Hz, 148.5 MHz.
    const std::array<std::uint8_t, 12> timing = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38,
                                                 0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00};
    std::copy(timing.begin(), timing.end(), b.begin() + std::ptrdiff_t(d));
    b[d + 12] = std::uint8_t(f.timing_width_mm & 0xFF);
    b[d + 13] = std::uint8_t(f.timing_height_mm & 0xFF);
    b[d + 14] = std::uint8_t(((f.timing_width_mm >> 8) << 4) | (f.timing_height_mm >> 8));
    b[d + 17] = 0x1E;  // digital separate sync, both negative
  } else {
    // A monitor-name descriptor: "TEST" and a line feed.
    const std::array<std::uint8_t, 10> text = {0, 0, 0, 0xFC, 0, 'T', 'E', 'S', 'T', 0x0A};
    std::copy(text.begin(), text.end(), b.begin() + std::ptrdiff_t(d));
    for (std::size_t i = d + text.size(); i < d + 18; ++i) b[i] = 0x20;
  }
  for (d = 72; d < 126; d += 18) b[d + 3] = 0x10;  // dummy descriptors
  unsigned sum = 0;
  for (std::size_t i = 0; i < 127; ++i) sum += b[i];
  b[127] = std::uint8_t((256 - sum % 256) % 256);
  return b;
}

const BlockFields kBlocks[] = {
    {"MillimetresAndCentimetres", "DEL", 0x4660, 123456789, 53, 30, true, 527, 296, {527, 296}},
    {"TimingPreferredOverCentimetres", "GSM", 0x5B8E, 1, 60, 34, true, 597, 336, {597, 336}},
    {"TwelveBitMillimetres", "SAM", 0x0F6A, 0, 160, 90, true, 1600, 900, {1600, 900}},
    {"OnlyCentimetres", "ACR", 7, 42, 34, 19, true, 0, 0, {340, 190}},
    {"FirstDescriptorNoTiming", "LEN", 0xFFFF, 0xFFFFFFFF, 31, 17, false, 0, 0, {310, 170}},
    {"NoSizeAtAll", "ZZZ", 1, 2, 0, 0, true, 0, 0, {}},
    {"AspectRatioOnly", "AAA", 3, 4, 0, 79, true, 0, 0, {}},
    {"OneTimingSideMissing", "BNQ", 5, 6, 0, 0, true, 527, 0, {}},
};

class EdidBlock : public ::testing::TestWithParam<BlockFields> {};

TEST_P(EdidBlock, ReadsEveryField) {
  const BlockFields& f = GetParam();
  const EdidInfo info = parse_edid(build_block(f));
  EXPECT_TRUE(info.checksum_valid);
  EXPECT_EQ(info.manufacturer, f.manufacturer);
  EXPECT_EQ(info.product_code, f.product);
  EXPECT_EQ(info.serial, f.serial);
  EXPECT_EQ(info.image_width_cm, f.width_cm);
  EXPECT_EQ(info.image_height_cm, f.height_cm);
  EXPECT_EQ(info.timing_width_mm, f.timing_width_mm);
  EXPECT_EQ(info.timing_height_mm, f.timing_height_mm);
  EXPECT_EQ(info.size(), f.size);
}

// What edid-decode prints for the fields the reader takes.
struct Decoded {
  std::string manufacturer;
  std::string model;
  std::string serial;
  std::string image_size;   // "53 cm x 30 cm", empty when it prints none
  std::string timing_size;  // "527 mm x 296 mm", empty when it prints none
};

Decoded run_edid_decode(const std::filesystem::path& file) {
  const std::string command = "edid-decode '" + file.string() + "' 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) throw std::runtime_error("edid-decode could not be started");
  std::string output;
  char buffer[4096];
  while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get())) {
    output.append(buffer, n);
  }
  Decoded decoded;
  std::smatch m;
  if (std::regex_search(output, m, std::regex(R"(Manufacturer: (\S+))")))
    decoded.manufacturer = m[1];
  if (std::regex_search(output, m, std::regex(R"(\n\s+Model: (\d+))"))) decoded.model = m[1];
  if (std::regex_search(output, m, std::regex(R"(Serial Number: (\d+))"))) decoded.serial = m[1];
  if (std::regex_search(output, m, std::regex(R"(Maximum image size: (\d+ cm x \d+ cm))"))) {
    decoded.image_size = m[1];
  }
  if (std::regex_search(output, m, std::regex(R"(DTD 1:[^\n]*?(\d+ mm x \d+ mm)\))"))) {
    decoded.timing_size = m[1];
  }
  if (decoded.manufacturer.empty()) {
    throw std::runtime_error("edid-decode (package edid-decode) gave no answer: " + output);
  }
  return decoded;
}

TEST_P(EdidBlock, AgreesWithEdidDecode) {
  const BlockFields& f = GetParam();
  const std::vector<std::uint8_t> block = build_block(f);
  testing::ScratchFolder folder;
  const auto file = folder.path() / "edid.bin";
  testing::write_file(file, std::string(block.begin(), block.end()));
  const Decoded decoded = run_edid_decode(file);
  const EdidInfo info = parse_edid(block);
  EXPECT_EQ(decoded.manufacturer, info.manufacturer);
  EXPECT_EQ(decoded.model, std::to_string(info.product_code));
  // edid-decode leaves a serial of 0 out.
  EXPECT_EQ(decoded.serial, info.serial == 0 ? "" : std::to_string(info.serial));
  if (info.image_width_cm > 0 && info.image_height_cm > 0) {
    EXPECT_EQ(decoded.image_size, std::to_string(info.image_width_cm) + " cm x " +
                                      std::to_string(info.image_height_cm) + " cm");
  } else {
    EXPECT_EQ(decoded.image_size, "");
  }
  if (info.timing_width_mm > 0 || info.timing_height_mm > 0) {
    EXPECT_EQ(decoded.timing_size, std::to_string(info.timing_width_mm) + " mm x " +
                                       std::to_string(info.timing_height_mm) + " mm");
  } else {
    EXPECT_EQ(decoded.timing_size, "");
  }
}

INSTANTIATE_TEST_SUITE_P(Blocks, EdidBlock, ::testing::ValuesIn(kBlocks),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(EdidRead, GarbledBlockFailsItsChecksum) {
  std::vector<std::uint8_t> block = build_block(kBlocks[0]);
  block[21] ^= 0x01;
  EXPECT_FALSE(parse_edid(block).checksum_valid);
}

TEST(EdidRead, ExtensionBlocksAfterTheBaseAreLeftAlone) {
  std::vector<std::uint8_t> block = build_block(kBlocks[0]);
  block.resize(3 * kEdidBlockBytes, 0xAB);
  const EdidInfo info = parse_edid(block);
  EXPECT_TRUE(info.checksum_valid);
  EXPECT_EQ(info.size(), (MillimetreSize{527, 296}));
}

struct NotEdid {
  const char* name;
  std::size_t length;
  std::size_t broken_byte;  // index into the header to change, or length for none
};

class NotAnEdidBlock : public ::testing::TestWithParam<NotEdid> {};

TEST_P(NotAnEdidBlock, IsRefused) {
  std::vector<std::uint8_t> block = build_block(kBlocks[0]);
  if (GetParam().broken_byte < block.size()) block[GetParam().broken_byte] ^= 0x55;
  block.resize(GetParam().length);
  try {
    parse_edid(block);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Not an EDID block");
  }
}

INSTANTIATE_TEST_SUITE_P(Inputs, NotAnEdidBlock,
                         ::testing::Values(NotEdid{"Empty", 0, 128}, NotEdid{"HeaderOnly", 8, 128},
                                           NotEdid{"OneByteShort", 127, 128},
                                           NotEdid{"FirstHeaderByte", 128, 0},
                                           NotEdid{"LastHeaderByte", 128, 7}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
