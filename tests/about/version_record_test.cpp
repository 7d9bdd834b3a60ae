#include "about/version_record.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "support/temp_folder.h"

namespace lumigrid::about {
namespace {

namespace fs = std::filesystem;

std::vector<unsigned char> bytes_of(const VersionRecord& record) {
  return std::vector<unsigned char>(record.begin(), record.end());
}

std::vector<unsigned char> joined(std::initializer_list<std::vector<unsigned char>> parts) {
  std::vector<unsigned char> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::vector<unsigned char> text_bytes(const std::string& text) {
  return std::vector<unsigned char>(text.begin(), text.end());
}

struct MemoryCase {
  const char* name;
  std::vector<unsigned char> data;
  const char* expected;
};

class FindFileVersion : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(FindFileVersion, ReadsTheFirstValidRecord) {
  const MemoryCase& c = GetParam();
  EXPECT_EQ(find_file_version(c.data.data(), c.data.size()), c.expected);
}

std::vector<unsigned char> with_byte_changed(const VersionRecord& record, std::size_t at) {
  std::vector<unsigned char> data = bytes_of(record);
  data[at] ^= 0x01;
  return data;
}

std::vector<unsigned char> cut(const VersionRecord& record, std::size_t keep) {
  return std::vector<unsigned char>(record.begin(), record.begin() + keep);
}

INSTANTIATE_TEST_SUITE_P(
    Records, FindFileVersion,
    ::testing::Values(
        MemoryCase{"alone", bytes_of(make_version_record(1, 2, 3, 4)), "1.2.3.4"},
        MemoryCase{"among_other_bytes",
                   joined({text_bytes("ELF...code"), bytes_of(make_version_record(1, 0, 0, 1)),
                           text_bytes("more")}),
                   "1.0.0.1"},
        MemoryCase{"zeros", bytes_of(make_version_record(0, 0, 0, 0)), "0.0.0.0"},
        MemoryCase{"largest_parts", bytes_of(make_version_record(65535, 65535, 65535, 65535)),
                   "65535.65535.65535.65535"},
        MemoryCase{"no_leading_zeros", bytes_of(make_version_record(10, 2, 300, 7)), "10.2.300.7"},
        MemoryCase{"wrong_check_skipped_for_later_record",
                   joined({with_byte_changed(make_version_record(9, 9, 9, 9), kVersionMarkerSize),
                           bytes_of(make_version_record(3, 1, 4, 1))}),
                   "3.1.4.1"},
        MemoryCase{"wrong_check_alone",
                   with_byte_changed(make_version_record(9, 9, 9, 9), kVersionMarkerSize + 8),
                   "?.?.?.?"},
        MemoryCase{"wrong_closing",
                   with_byte_changed(make_version_record(1, 2, 3, 4), kVersionRecordSize - 2),
                   "?.?.?.?"},
        MemoryCase{"cut_record", cut(make_version_record(1, 2, 3, 4), kVersionRecordSize - 1),
                   "?.?.?.?"},
        MemoryCase{"no_record", text_bytes("just some bytes of a file without a record"),
                   "?.?.?.?"},
        MemoryCase{"empty", {}, "?.?.?.?"}),
    [](const auto& row) { return std::string(row.param.name); });

class FileVersion : public testing::TempFolder {
 protected:
  fs::path write_file(const std::string& name, const std::vector<unsigned char>& data) {
    const fs::path path = folder / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
    return path;
  }
};

TEST_F(FileVersion, ReadsTheRecordOfAProgramBuiltWithAKnownVersion) {
  EXPECT_EQ(get_file_version(VERSION_FIXTURE_PATH), "2.13.0.407");
}

// That program holds the reader, and so its masked markers, but no record of its own.
TEST_F(FileVersion, ProgramWithoutRecordIsUnknown) {
  EXPECT_EQ(get_file_version(NO_VERSION_FIXTURE_PATH), "?.?.?.?");
}

TEST_F(FileVersion, UnreadableFilesAreUnknown) {
  EXPECT_EQ(get_file_version((folder / "missing.exe").string()), "?.?.?.?");
  EXPECT_EQ(get_file_version(folder.string()), "?.?.?.?");
  EXPECT_EQ(get_file_version(write_file("empty.exe", {}).string()), "?.?.?.?");
}

// The reader goes through the file in blocks; a record across a block edge is still found.
TEST_F(FileVersion, FindsARecordAcrossABlockEdge) {
  std::vector<unsigned char> data((std::size_t{1} << 20) - 7, 0xCC);
  const auto record = bytes_of(make_version_record(4, 5, 6, 7));
  data.insert(data.end(), record.begin(), record.end());
  data.resize(data.size() + 100, 0xCC);
  EXPECT_EQ(get_file_version(write_file("large.exe", data).string()), "4.5.6.7");
}

}  // namespace
}  // namespace lumigrid::about
