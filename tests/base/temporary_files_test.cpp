#include "base/temporary_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/utf.h"

namespace lumigrid {
namespace {

struct PrefixCase {
  const char* name;
  std::string file_name;
  bool whole_name_kept;
};

class TemporaryPrefix : public ::testing::TestWithParam<PrefixCase> {};

// However long the target's name, its temporaries stay within the 255 bytes of a file name
// (with the largest process id and number), and a cut never splits a character.
TEST_P(TemporaryPrefix, FitsAFileNameWhateverTheTargetsLength) {
  const PrefixCase& c = GetParam();
  const std::string prefix = temporary_prefix(".", c.file_name, ".tmp");
  const std::string longest = prefix + "18446744073709551615_18446744073709551615";
  EXPECT_LE(longest.size(), 255u);
  EXPECT_EQ(prefix.substr(0, 1), ".");
  EXPECT_EQ(prefix.substr(prefix.size() - 4), ".tmp");
  const std::string kept = prefix.substr(1, prefix.size() - 5);
  EXPECT_EQ(c.file_name.compare(0, kept.size(), kept), 0);
  EXPECT_EQ(kept == c.file_name, c.whole_name_kept);
  for (char32_t code : decode_utf8(kept)) EXPECT_NE(code, kReplacementCharacter);
}

INSTANTIATE_TEST_SUITE_P(
    Names, TemporaryPrefix,
    ::testing::Values(PrefixCase{"short", "page.png", true},
                      PrefixCase{"longest_kept_whole", std::string(209, 'a'), true},
                      PrefixCase{"one_byte_too_long", std::string(210, 'a'), false},
                      PrefixCase{"longest_file_name", std::string(255, 'a'), false},
                      // 2-byte characters: a cut at an odd byte would split one.
                      PrefixCase{"two_byte_characters",
                                 [] {
                                   std::string s;
                                   for (int i = 0; i < 127; ++i) s += "\xC3\xA9";
                                   return s;
                                 }(),
                                 false}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
