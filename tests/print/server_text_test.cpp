// What a print server says is shown only cleaned: no control characters or escape sequences,
// no bidirectional controls, valid UTF-8, one line, a sane length.
#include "print/server_text.h"

#include <gtest/gtest.h>

#include <string>

namespace lumigrid {
namespace {

struct TextCase {
  const char* row;
  std::string raw;
  std::string cleaned;
};

void PrintTo(const TextCase& c, std::ostream* os) {
  *os << c.row;
}

class CleanServerText : public ::testing::TestWithParam<TextCase> {};

TEST_P(CleanServerText, KeepsOnlyPrintableText) {
  EXPECT_EQ(clean_server_text(GetParam().raw), GetParam().cleaned);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CleanServerText,
    ::testing::Values(
        TextCase{"Plain", "Cleaning the print head", "Cleaning the print head"},
        TextCase{"NonAsciiKept", "Druckkopf wird gereinigt \xc3\xa4\xe2\x82\xac",
                 "Druckkopf wird gereinigt \xc3\xa4\xe2\x82\xac"},
        TextCase{"ClearScreenAndColours", "\x1b[2J\x1b[H\x1b[32mSent\x1b[0m", "Sent"},
        TextCase{"TitleByBell", "\x1b]0;owned\x07ok", "ok"},
        TextCase{"TitleByStringTerminator", "\x1b]2;owned\x1b\\ok", "ok"},
        TextCase{"CharacterSetChoice", "\x1b(Bok", "ok"},
        TextCase{"C1ControlSequence",
                 "a\xc2\x9b"
                 "31mb",
                 "ab"},
        TextCase{"C1CommandString",
                 "a\xc2\x9d"
                 "0;t\xc2\x9c"
                 "b",
                 "ab"},
        TextCase{"OtherC0AndDel",
                 std::string("a\x00\x08\x7f"
                             "b",
                             5),
                 "ab"},
        TextCase{"LineBreaksBecomeOneSpace", "one\r\n\ttwo\xe2\x80\xa8three", "one two three"},
        TextCase{"SpacesTrimmed", "  both ends  ", "both ends"},
        TextCase{"RightToLeftOverride",
                 "\xe2\x80\xae"
                 "txet\xe2\x80\xac",
                 "txet"},
        TextCase{"IsolatesAndMarks",
                 "\xe2\x81\xa6"
                 "a\xe2\x81\xa9\xe2\x80\x8f"
                 "b\xd8\x9c",
                 "ab"},
        TextCase{"InvalidUtf8Replaced",
                 "a\xff"
                 "b\xc3",
                 "a\xef\xbf\xbd"
                 "b\xef\xbf\xbd"},
        TextCase{"OverlongReplaced", "\xc0\xaf", "\xef\xbf\xbd\xef\xbf\xbd"},
        TextCase{"SurrogateReplaced", "\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
        TextCase{"CutToTheLimit", std::string(300, 'x'), std::string(199, 'x') + "\xe2\x80\xa6"},
        TextCase{"NothingLeft", "\x1b[2J\r\n", ""}),
    [](const auto& row) { return std::string(row.param.row); });

TEST(ServerSays, QuotesTheCleanedTextOrSaysNothing) {
  EXPECT_EQ(server_says("No space\x1b[K left"), "the server says \"No space left\"");
  EXPECT_EQ(server_says("\x07"), "");
}

}  // namespace
}  // namespace lumigrid
