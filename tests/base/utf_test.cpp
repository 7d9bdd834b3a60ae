#include "base/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace lumigrid {
namespace {

// Each row: UTF-8 bytes, the code points they decode to and the same text in UTF-16.
struct Utf8Case {
  const char* name;
  std::string bytes;
  std::u32string code_points;
  std::u16string utf16;
};

class Utf8Text : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Text, DecodesToCodePoints) {
  const Utf8Case& c = GetParam();
  const std::vector<char32_t> decoded = decode_utf8(c.bytes);
  EXPECT_EQ(std::u32string(decoded.begin(), decoded.end()), c.code_points);
}

TEST_P(Utf8Text, ConvertsToUtf16) {
  EXPECT_TRUE(utf16_from_utf8(GetParam().bytes) == GetParam().utf16);
}

const Utf8Case kTexts[] = {
    Utf8Case{"Ascii", "A1 ", U"A1 ", u"A1 "},
    Utf8Case{"TwoBytes", "\xC3\xA9", U"\u00E9", u"\u00E9"},
    Utf8Case{"MultiplicationSign", "B0 \xC3\x97", U"B0 \u00D7", u"B0 \u00D7"},
    Utf8Case{"ThreeBytes", "\xE2\x82\xAC", U"\u20AC", u"\u20AC"},
    Utf8Case{"FourBytesMakeASurrogatePair", "\xF0\x9F\x98\x80", U"\U0001F600", u"\U0001F600"},
    Utf8Case{"LoneContinuation", "a\x80z", U"a\uFFFDz", u"a\uFFFDz"},
    Utf8Case{"Truncated", "A\xE2\x82", U"A\uFFFD\uFFFD", u"A\uFFFD\uFFFD"},
    Utf8Case{"Overlong", "\xC0\x80", U"\uFFFD\uFFFD", u"\uFFFD\uFFFD"},
    Utf8Case{"OverlongSlash", "\xC0\xAFx", U"\uFFFD\uFFFDx", u"\uFFFD\uFFFDx"},
    Utf8Case{"EncodedSurrogate", "\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD", u"\uFFFD\uFFFD\uFFFD"},
    Utf8Case{"BeyondUnicode", "\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD",
             u"\uFFFD\uFFFD\uFFFD\uFFFD"},
};

INSTANTIATE_TEST_SUITE_P(Texts, Utf8Text, ::testing::ValuesIn(kTexts),
                         [](const auto& row) { return std::string(row.param.name); });

// Well-formed text encodes back to the very bytes it came from.
TEST(AppendUtf8, WellFormedTextsEncodeBack) {
  for (const Utf8Case& c : kTexts) {
    if (c.code_points.find(kReplacementCharacter) != std::u32string::npos) continue;
    std::string encoded;
    for (const char32_t code_point : c.code_points) append_utf8(encoded, code_point);
    EXPECT_EQ(encoded, c.bytes) << c.name;
  }
}

}  // namespace
}  // namespace lumigrid
