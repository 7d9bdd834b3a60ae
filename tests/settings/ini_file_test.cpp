#include "settings/ini_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <variant>

#include "base/errors.h"
#include "base/utf.h"
#include "support/temp_folder.h"

namespace lumigrid {
namespace {

using testing::read_file;
using testing::TempFolder;
using testing::write_file;

enum class Kind { Integer, Flag, Real };

struct ReadCase {
  const char* name;
  const char* file;  // nullptr: no file
  const char* section;
  const char* key;
  Kind kind;
  char separator;
  double fallback;
  double expected;
};

class IniRead : public TempFolder, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(IniRead, ValueOrFallback) {
  const ReadCase& c = GetParam();
  const auto path = folder / "s.INI";
  if (c.file) write_file(path, c.file);
  const IniFile ini(path, c.separator);
  double got = 0;
  switch (c.kind) {
    case Kind::Integer:
      got = ini.readInteger(c.section, c.key, std::int32_t(c.fallback));
      break;
    case Kind::Flag:
      got = ini.readFlag(c.section, c.key, c.fallback != 0) ? 1 : 0;
      break;
    case Kind::Real:
      got = ini.readReal(c.section, c.key, c.fallback);
      break;
  }
  EXPECT_EQ(got, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniRead,
    ::testing::Values(
        ReadCase{"decimal", "[s]\nk=42\n", "s", "k", Kind::Integer, '.', 7, 42},
        ReadCase{"negative", "[s]\nk=-42\n", "s", "k", Kind::Integer, '.', 7, -42},
        ReadCase{"hex_0x", "[Latest Setting]\nScrollBar_H=0x20\n", "Latest Setting", "ScrollBar_H",
                 Kind::Integer, '.', 50, 32},
        ReadCase{"hex_upper_0X", "[s]\nk=0X1f\n", "s", "k", Kind::Integer, '.', 7, 31},
        ReadCase{"hex_dollar", "[s]\nk=$FF\n", "s", "k", Kind::Integer, '.', 7, 255},
        ReadCase{"blanks_around", "[s]\n  k  =   12   \n", "s", "k", Kind::Integer, '.', 7, 12},
        ReadCase{"section_and_key_case", "[LATEST pattern]\nLatest Pattern=3\n", "latest pattern",
                 "latest pattern", Kind::Integer, '.', 0, 3},
        ReadCase{"blanks_in_brackets", "[ s ]\nk=5\n", "s", "k", Kind::Integer, '.', 7, 5},
        ReadCase{"missing_file", nullptr, "s", "k", Kind::Integer, '.', 7, 7},
        ReadCase{"missing_section", "[t]\nk=1\n", "s", "k", Kind::Integer, '.', 7, 7},
        ReadCase{"missing_key", "[s]\nj=1\n", "s", "k", Kind::Integer, '.', 7, 7},
        ReadCase{"key_of_next_section", "[s]\n[t]\nk=1\n", "s", "k", Kind::Integer, '.', 7, 7},
        ReadCase{"trailing_text", "[s]\nk=12abc\n", "s", "k", Kind::Integer, '.', 7, 7},
        ReadCase{"empty_value", "[s]\nk=\n", "s", "k", Kind::Integer, '.', 7, 7},
        ReadCase{"beyond_32_bits", "[s]\nk=2147483648\n", "s", "k", Kind::Integer, '.', 7, 7},
        ReadCase{"first_duplicate_wins", "[s]\nk=1\nk=2\n", "s", "k", Kind::Integer, '.', 7, 1},
        ReadCase{"commented_key", "[s]\n;k=1\n", "s", "k", Kind::Integer, '.', 7, 7},
        ReadCase{"crlf_lines", "[s]\r\nk=9\r\n", "s", "k", Kind::Integer, '.', 7, 9},
        ReadCase{"cr_lines", "[s]\rk=9\r", "s", "k", Kind::Integer, '.', 7, 9},
        ReadCase{"cr_cr_lf_lines", "[s]\r\r\nk=9\r\r\n", "s", "k", Kind::Integer, '.', 7, 9},
        ReadCase{"utf8_bom", "\xEF\xBB\xBF[s]\nk=9\n", "s", "k", Kind::Integer, '.', 7, 9},
        ReadCase{"flag_two_is_on", "[s]\ntext=2\n", "s", "text", Kind::Flag, '.', 0, 1},
        ReadCase{"flag_zero_is_off", "[s]\ntext=0\n", "s", "text", Kind::Flag, '.', 1, 0},
        ReadCase{"flag_yes_is_default", "[s]\ntext=yes\n", "s", "text", Kind::Flag, '.', 0, 0},
        ReadCase{"real_point", "[s]\nborder=0.2\n", "s", "border", Kind::Real, '.', 0.1, 0.2},
        ReadCase{"real_comma", "[s]\nborder=0,2\n", "s", "border", Kind::Real, ',', 0.1, 0.2},
        ReadCase{"real_point_in_comma_locale", "[s]\nborder=0.2\n", "s", "border", Kind::Real, ',',
                 0.1, 0.1},
        ReadCase{"real_comma_in_point_locale", "[s]\nborder=0,2\n", "s", "border", Kind::Real, '.',
                 0.1, 0.1},
        ReadCase{"real_integer_text", "[s]\nborder=1\n", "s", "border", Kind::Real, '.', 0.1, 1},
        ReadCase{"real_exponent", "[s]\nborder=-25E-2\n", "s", "border", Kind::Real, '.', 0.1,
                 -0.25},
        ReadCase{"real_overflow", "[s]\nborder=1e999\n", "s", "border", Kind::Real, '.', 0.1, 0.1},
        ReadCase{"real_words", "[s]\nborder=nan\n", "s", "border", Kind::Real, '.', 0.1, 0.1}),
    [](const auto& row) { return std::string(row.param.name); });

struct WriteStep {
  const char* section;
  const char* key;
  std::variant<std::int32_t, double> value;
};

struct WriteCase {
  const char* name;
  const char* before;  // nullptr: no file
  std::vector<WriteStep> steps;
  char separator;
  const char* after;
};

class IniWrite : public TempFolder, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(IniWrite, FileAfterTheWrites) {
  const WriteCase& c = GetParam();
  const auto path = folder / "s.INI";
  if (c.before) write_file(path, c.before);
  IniFile ini(path, c.separator);
  for (const auto& step : c.steps) {
    if (std::holds_alternative<std::int32_t>(step.value)) {
      ini.writeInteger(step.section, step.key, std::get<std::int32_t>(step.value));
    } else {
      ini.writeReal(step.section, step.key, std::get<double>(step.value));
    }
  }
  EXPECT_EQ(read_file(path), c.after);
  // only the file itself is left in the folder
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                          std::filesystem::directory_iterator()),
            1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniWrite,
    ::testing::Values(
        WriteCase{"first_write_creates", nullptr, {{"s", "k", 1}}, '.', "[s]\nk=1\n"},
        WriteCase{"replace_in_place_keeps_other_lines",
                  "; note\n[a]\nx=1\njunk line\ny=2\n",
                  {{"a", "x", 5}},
                  '.',
                  "; note\n[a]\nx=5\njunk line\ny=2\n"},
        WriteCase{"replace_matches_case_and_keeps_spelling",
                  "[Latest Setting]\n  ScrollBar_H = 1\n",
                  {{"latest setting", "scrollbar_h", 7}},
                  '.',
                  "[Latest Setting]\nScrollBar_H=7\n"},
        WriteCase{"append_to_section_before_blank",
                  "[a]\nx=1\n\n[b]\ny=2\n",
                  {{"a", "z", 3}},
                  '.',
                  "[a]\nx=1\nz=3\n\n[b]\ny=2\n"},
        WriteCase{
            "new_section_at_end", "[a]\nx=1\n", {{"b", "y", 2}}, '.', "[a]\nx=1\n\n[b]\ny=2\n"},
        WriteCase{"sequence_of_writes",
                  nullptr,
                  {{"Dynamic Range", "color X", 6},
                   {"Dynamic Range", "color Y", 4},
                   {"Dynamic Range", "border", 0.1}},
                  '.',
                  "[Dynamic Range]\ncolor X=6\ncolor Y=4\nborder=0.1\n"},
        WriteCase{"real_with_comma", nullptr, {{"s", "border", 0.1}}, ',', "[s]\nborder=0,1\n"},
        WriteCase{"crlf_kept", "[a]\r\nx=1\r\n", {{"a", "y", 2}}, '.', "[a]\r\nx=1\r\ny=2\r\n"},
        WriteCase{"cr_kept", "[a]\rx=1\r", {{"a", "x", 2}, {"a", "y", 3}}, '.', "[a]\rx=2\ry=3\r"},
        WriteCase{"cr_cr_lf_kept",
                  "[a]\r\r\nx=1\r\r\n",
                  {{"a", "x", 2}, {"a", "x", 3}},
                  '.',
                  "[a]\r\r\nx=3\r\r\n"},
        WriteCase{"mixed_ends_kept_new_lines_take_the_first",
                  "[a]\nx=1\r\ny=2\r",
                  {{"a", "z", 3}},
                  '.',
                  "[a]\nx=1\r\ny=2\rz=3\n"},
        WriteCase{"new_line_before_a_blank_lf_line_keeps_it",
                  "[a]\rx=1\r\n\n[b]\ny=2\n",
                  {{"a", "z", 3}},
                  '.',
                  "[a]\rx=1\r\nz=3\r\n\n[b]\ny=2\n"},
        WriteCase{"new_blank_line_after_a_cr_line_stays_a_line",
                  "[a]\nx=1\r",
                  {{"b", "y", 2}},
                  '.',
                  "[a]\nx=1\r\r\n[b]\ny=2\n"},
        WriteCase{
            "bom_kept", "\xEF\xBB\xBF[a]\nx=1\n", {{"a", "x", 2}}, '.', "\xEF\xBB\xBF[a]\nx=2\n"},
        WriteCase{"last_line_without_end", "[a]\nx=1", {{"a", "x", 2}}, '.', "[a]\nx=2\n"}),
    [](const auto& row) { return std::string(row.param.name); });

class IniWriteFailure : public TempFolder {};

TEST_F(IniWriteFailure, MissingFolderRaisesWithThePath) {
  const auto path = folder / "missing" / "s.INI";
  IniFile ini(path);
  try {
    ini.writeInteger("s", "k", 1);
    FAIL() << "no error raised";
  } catch (const WriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path.string());
  }
}

TEST_F(IniWriteFailure, FolderInPlaceOfTheFileIsLeftAlone) {
  const auto path = folder / "s.INI";
  std::filesystem::create_directory(path);
  write_file(path / "inside", "kept");
  IniFile ini(path);
  EXPECT_THROW(ini.writeInteger("s", "k", 1), WriteError);
  EXPECT_EQ(read_file(path / "inside"), "kept");
}

// The rest need a folder that refuses its owner, which only an unprivileged user has.
class IniReadOnlyFolder : public TempFolder {
 protected:
  void SetUp() override {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    TempFolder::SetUp();
  }
  void lockFolder() {
    std::filesystem::permissions(
        folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  }
};

TEST_F(IniReadOnlyFolder, WritableFileIsRewrittenInPlace) {
  const auto path = folder / "s.INI";
  write_file(path, "[a]\nx=1\n");
  lockFolder();
  IniFile ini(path);
  ini.writeInteger("a", "x", 2);
  EXPECT_EQ(read_file(path), "[a]\nx=2\n");
}

TEST_F(IniReadOnlyFolder, NewFileRaisesAndCreatesNothing) {
  const auto path = folder / "s.INI";
  lockFolder();
  IniFile ini(path);
  EXPECT_THROW(ini.writeInteger("a", "x", 2), WriteError);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(IniReadOnlyFolder, UnreadableFileIsNotOverwritten) {
  const auto path = folder / "s.INI";
  write_file(path, "[a]\nx=1\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_write);
  IniFile ini(path);
  EXPECT_EQ(ini.readInteger("a", "x", 7), 7);
  EXPECT_THROW(ini.writeInteger("a", "y", 2), WriteError);
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  EXPECT_EQ(read_file(path), "[a]\nx=1\n");
}

TEST_F(IniWriteFailure, ReadOnlyFileIsRefusedAndKept) {
  const auto path = folder / "s.INI";
  write_file(path, "[a]\nx=1\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  IniFile ini(path);
  try {
    ini.writeInteger("a", "x", 2);
    FAIL() << "no error raised";
  } catch (const WriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path.string());
  }
  EXPECT_EQ(read_file(path), "[a]\nx=1\n");
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::group_read |
                                                             std::filesystem::perms::others_read);
}

TEST_F(IniWriteFailure, FifoReadsAsEmptyWithoutWaitingAndIsNotReplaced) {
  const auto path = folder / "s.INI";
  ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
  // A read that waits for a writer would hang the suite: end the program instead.
  ::alarm(60);
  IniFile ini(path);
  ::alarm(0);
  EXPECT_TRUE(ini.sectionNames().empty());
  EXPECT_EQ(ini.readInteger("a", "x", 7), 7);
  EXPECT_THROW(ini.writeInteger("a", "x", 2), WriteError);
  EXPECT_TRUE(std::filesystem::is_fifo(path));
}

// A temporary of a process that no longer runs is a leftover; one of a running process, or a
// file that only looks alike, is not ours to remove.
TEST_F(IniWriteFailure, StaleTemporariesOfKilledProcessesAreRemoved) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  const auto path = folder / "s.INI";
  write_file(path, "[a]\nx=1\n");
  const std::string dead = "s.INI.tmp" + std::to_string(child) + "_0";
  const std::string running = "s.INI.tmp1_0";
  const std::string other_file = "t.INI.tmp" + std::to_string(child) + "_0";
  const std::string not_a_temporary = "s.INI.tmp" + std::to_string(child) + "_0x";
  for (const auto& name : {dead, running, other_file, not_a_temporary})
    write_file(folder / name, "");
  IniFile(path).writeInteger("a", "x", 2);
  EXPECT_FALSE(std::filesystem::exists(folder / dead));
  for (const auto& name : {running, other_file, not_a_temporary})
    EXPECT_TRUE(std::filesystem::exists(folder / name)) << name;
  EXPECT_EQ(read_file(path), "[a]\nx=2\n");
}

// A full disk, as the file-size limit makes it: writes past the limit fail.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    old_handler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, old_handler_);
  }

 private:
  rlimit saved_{};
  sighandler_t old_handler_;
};

TEST_F(IniReadOnlyFolder, FullDiskKeepsTheOldBytes) {
  const auto path = folder / "s.INI";
  write_file(path, "[a]\nx=1\n");
  lockFolder();
  IniFile ini(path);
  {
    FileSizeLimit full(16);
    EXPECT_THROW(ini.writeString("a", "y", std::string(100, 'v')), WriteError);
  }
  EXPECT_EQ(read_file(path), "[a]\nx=1\n");
}

class IniSections : public TempFolder {};

TEST_F(IniSections, ListedInFileOrderWithDuplicates) {
  const auto path = folder / "s.INI";
  write_file(path, "x=0\n[b]\n[a]\nk=1\n[ b ]\n[c\n");
  const IniFile ini(path);
  EXPECT_EQ(ini.sectionNames(), (std::vector<std::string>{"b", "a", "b", "c"}));
}

// A batch gives the bytes of its writes made one after the other, whatever the file holds.
struct BatchCase {
  const char* name;
  const char* before;  // nullptr: no file
};

class IniBatch : public TempFolder, public ::testing::WithParamInterface<BatchCase> {};

TEST_P(IniBatch, SameBytesAsSuccessiveWrites) {
  const BatchCase& c = GetParam();
  const std::vector<IniEntry> entries = {
      {"latest pattern", "latest pattern", "12"},  // a present key, or a missing section
      {"a", "x", "5"},                             // a present key
      {"a", "new", "6"},                           // a missing key in a present section
      {" B ", " y ", "7"},                         // blanks and case around a later section
      {"Latest Setting", "ScrollBar_H", "700"},    // a missing section ...
      {"latest setting", "scrollbar_hp", "0"},     // ... then its second key
      {"a", "X", "8"},                             // the same key again
      {"Latest Setting", "ScrollBar_H", "701"},
  };
  const auto one_by_one = folder / "one_by_one.INI";
  const auto batch = folder / "batch.INI";
  if (c.before) {
    write_file(one_by_one, c.before);
    write_file(batch, c.before);
  }
  IniFile single(one_by_one);
  for (const IniEntry& e : entries) single.writeString(e.section, e.key, e.value);
  IniFile together(batch);
  together.writeStrings(entries);
  EXPECT_EQ(read_file(batch), read_file(one_by_one));
  // and the batch's object reads what its file now holds
  const IniFile again(batch);
  EXPECT_EQ(together.sectionNames(), again.sectionNames());
  for (const IniEntry& e : entries)
    EXPECT_EQ(together.readString(e.section, e.key), again.readString(e.section, e.key)) << e.key;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniBatch,
    ::testing::Values(BatchCase{"no_file", nullptr}, BatchCase{"empty_file", ""},
                      BatchCase{"lf", "; note\n[a]\nx=1\njunk\n\n[b]\ny=2\n"},
                      BatchCase{"crlf", "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n"},
                      BatchCase{"cr", "[a]\rx=1\r\r[b]\ry=2\r"},
                      BatchCase{"mixed_ends_cr_before_blank_lf", "[a]\rx=1\r\n\n[b]\ny=2\n"},
                      BatchCase{"utf8_bom", "\xEF\xBB\xBF[a]\nx=1\n[b]\n"},
                      BatchCase{"duplicate_sections", "[a]\nx=1\n[b]\n[A]\nx=2\nnew=3\n[b]\ny=9\n"},
                      BatchCase{"keys_present",
                                "[latest pattern]\nlatest pattern=1\n[Latest Setting]\n"
                                "ScrollBar_HP=3\nScrollBar_H=2\n\n\n[a]\nx=1\n"},
                      BatchCase{"last_line_without_end", "[a]\nx=1\n[b]\ny=2"},
                      BatchCase{"blank_last_line_without_end", "[b]\n  "}),
    [](const auto& row) { return std::string(row.param.name); });

// A file past the size limit is not ours to read or to rewrite; at the limit it is read.
struct LimitCase {
  const char* name;
  std::uint64_t size;
  const char* write_key;  // the key written to section "a"
  std::int32_t read_x;    // what "x" of "a" reads (7 when the file reads as empty)
  bool written;
};

class IniSizeLimit : public TempFolder, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(IniSizeLimit, LargerFileReadsAsEmptyAndIsKept) {
  const LimitCase& c = GetParam();
  const auto path = folder / "s.INI";
  // A key, then zero bytes up to the size (a hole, which costs no disk).
  write_file(path, "[a]\nx=1\n");
  std::filesystem::resize_file(path, c.size);
  IniFile ini(path);
  EXPECT_EQ(ini.readInteger("a", "x", 7), c.read_x);
  EXPECT_EQ(ini.sectionNames().empty(), c.read_x == 7);
  if (c.written) {
    ini.writeInteger("a", c.write_key, 2);
    EXPECT_EQ(IniFile(path).readInteger("a", c.write_key, 7), 2);
    return;
  }
  try {
    ini.writeInteger("a", c.write_key, 2);
    FAIL() << "no error raised";
  } catch (const WriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path.string());
  }
  EXPECT_EQ(std::filesystem::file_size(path), c.size);
  std::ifstream in(path, std::ios::binary);
  std::string start(8, '\0');
  in.read(start.data(), 8);
  EXPECT_EQ(start, "[a]\nx=1\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniSizeLimit,
    // The zero bytes are a last line without an end: a write ends it, one byte more.
    ::testing::Values(LimitCase{"write_up_to_the_limit", kMaxSettingsFileBytes - 1, "x", 1, true},
                      LimitCase{"write_past_the_limit", kMaxSettingsFileBytes, "x", 1, false},
                      LimitCase{"file_past_the_limit", kMaxSettingsFileBytes + 1, "x", 7, false}),
    [](const auto& row) { return std::string(row.param.name); });

// Two programs write one settings file (lumigrid at its exit, lumigrid-render a chart's
// defaults): each write is made on the file as it is then, so neither program's values are lost.
struct TwoWritersCase {
  const char* name;
  const char* before;  // the file both open
  const char* after;   // after the other program's write and then this one's
};

class IniTwoWriters : public TempFolder, public ::testing::WithParamInterface<TwoWritersCase> {};

TEST_P(IniTwoWriters, OtherProgramsWriteSinceTheReadIsKept) {
  const TwoWritersCase& c = GetParam();
  const auto path = folder / "s.INI";
  if (c.before != nullptr) write_file(path, c.before);
  IniFile mine(path);
  IniFile(path).writeStrings({{"b", "y", "2"}});
  mine.writeStrings({{"a", "x", "1"}});
  EXPECT_EQ(read_file(path), c.after);
  EXPECT_EQ(mine.readInteger("b", "y", 0), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniTwoWriters,
    ::testing::Values(TwoWritersCase{"no_file_yet", nullptr, "[b]\ny=2\n\n[a]\nx=1\n"},
                      TwoWritersCase{"existing_file", "[a]\nx=0\n", "[a]\nx=1\n\n[b]\ny=2\n"},
                      TwoWritersCase{"same_key", "[a]\nx=0\n[b]\ny=0\n", "[a]\nx=1\n[b]\ny=2\n"}),
    [](const auto& row) { return std::string(row.param.name); });

// Programs writing at the same moment take turns: every key each of them wrote is there.
class IniSimultaneousWriters : public TempFolder {};

TEST_F(IniSimultaneousWriters, NoValueIsLost) {
  const auto path = folder / "s.INI";
  write_file(path, "[chart]\nkept=1\n");
  constexpr int kWriters = 2;
  constexpr int kWrites = 60;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0; i < kWrites; ++i) {
        // As a program does: read the file, then write one value.
        IniFile ini(path);
        ini.writeInteger("w" + std::to_string(w), "k" + std::to_string(i), i);
      }
      ::_exit(0);
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const IniFile result(path);
  EXPECT_EQ(result.readInteger("chart", "kept", 0), 1);
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kWrites; ++i) {
      EXPECT_EQ(result.readInteger("w" + std::to_string(w), "k" + std::to_string(i), -1), i)
          << "writer " << w << " write " << i;
    }
  }
}

// UTF-16 files: the mark, then the text in that byte order.
std::string utf16_file(std::string_view utf8, bool big_endian) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : utf16_from_utf8(utf8)) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes.push_back(big_endian ? high : low);
    bytes.push_back(big_endian ? low : high);
  }
  return bytes;
}

struct Utf16Case {
  const char* name;
  bool big_endian;
  const char* end;  // the file's line end
};

class IniUtf16 : public TempFolder, public ::testing::WithParamInterface<Utf16Case> {
 protected:
  // `text` with "|" standing for the row's line end, in the row's byte order.
  std::string file(std::string text) const {
    const Utf16Case& c = GetParam();
    for (auto at = text.find('|'); at != std::string::npos; at = text.find('|', at))
      text.replace(at, 1, c.end);
    return utf16_file(text, c.big_endian);
  }
};

TEST_P(IniUtf16, ReadAndWrittenInTheFilesOwnEncoding) {
  const auto path = folder / "s.INI";
  // "Graustufe ä" holds a character past U+FFFF (a surrogate pair) in a value.
  const std::string before =
      "; Farbtafeln|[Graustufe \xC3\xA4]|color X=8|color Y=2|1_R=255|note=\xF0\x9F\x8E\xA8|"
      "|[Latest Setting]|ScrollBar_H=40|";
  write_file(path, file(before));
  IniFile ini(path);
  EXPECT_EQ(ini.sectionNames(), (std::vector<std::string>{"Graustufe \xC3\xA4", "Latest Setting"}));
  EXPECT_EQ(ini.readInteger("graustufe \xC3\xA4", "color X", 0), 8);
  EXPECT_EQ(ini.readInteger("Graustufe \xC3\xA4", "1_R", 0), 255);
  EXPECT_EQ(ini.readString("Graustufe \xC3\xA4", "note"), "\xF0\x9F\x8E\xA8");

  // The same value again: the file keeps every byte.
  ini.writeInteger("Latest Setting", "ScrollBar_H", 40);
  EXPECT_EQ(read_file(path), file(before));

  ini.writeInteger("Graustufe \xC3\xA4", "color Y", 3);          // changed
  ini.writeString("Graustufe \xC3\xA4", "name", "gr\xC3\xBCn");  // added key
  ini.writeInteger("latest pattern", "latest pattern", 12);      // added section
  EXPECT_EQ(read_file(path),
            file("; Farbtafeln|[Graustufe \xC3\xA4]|color X=8|color Y=3|1_R=255|"
                 "note=\xF0\x9F\x8E\xA8|name=gr\xC3\xBCn||[Latest Setting]|ScrollBar_H=40||"
                 "[latest pattern]|latest pattern=12|"));
  EXPECT_EQ(IniFile(path).readString("Graustufe \xC3\xA4", "name"), "gr\xC3\xBCn");
}

TEST_P(IniUtf16, TextThatIsNotUtf8IsRefused) {
  const auto path = folder / "s.INI";
  write_file(path, file("[a]|x=1|"));
  IniFile ini(path);
  EXPECT_THROW(ini.writeString("a", "x", "\xFF"), WriteError);
  EXPECT_EQ(read_file(path), file("[a]|x=1|"));
  EXPECT_EQ(ini.readInteger("a", "x", 7), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniUtf16,
                         ::testing::Values(Utf16Case{"little_endian_crlf", false, "\r\n"},
                                           Utf16Case{"little_endian_lf", false, "\n"},
                                           Utf16Case{"big_endian_crlf", true, "\r\n"},
                                           Utf16Case{"big_endian_lf", true, "\n"}),
                         [](const auto& row) { return std::string(row.param.name); });

// Broken UTF-16 cannot be written back as it was: the file reads as empty and is kept.
struct BrokenUtf16Case {
  const char* name;
  std::string bytes;
};

class IniBrokenUtf16 : public TempFolder, public ::testing::WithParamInterface<BrokenUtf16Case> {};

TEST_P(IniBrokenUtf16, ReadsAsEmptyAndIsNotRewritten) {
  const auto path = folder / "s.INI";
  write_file(path, GetParam().bytes);
  IniFile ini(path);
  EXPECT_TRUE(ini.sectionNames().empty());
  EXPECT_EQ(ini.readInteger("a", "x", 7), 7);
  try {
    ini.writeInteger("a", "x", 2);
    FAIL() << "no error raised";
  } catch (const WriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path.string());
  }
  EXPECT_EQ(read_file(path), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniBrokenUtf16,
    ::testing::Values(BrokenUtf16Case{"odd_byte_count", utf16_file("[a]\nx=1\n", false) + "x"},
                      BrokenUtf16Case{"lone_high_surrogate_at_end",
                                      utf16_file("[a]\nx=1\n", false) + std::string("\x3D\xD8", 2)},
                      BrokenUtf16Case{
                          "high_surrogate_before_a_letter",
                          utf16_file("[a]\nx=", true) + std::string("\xD8\x3D\x00\x31", 4)},
                      BrokenUtf16Case{"lone_low_surrogate",
                                      utf16_file("[a]\nx=", false) + std::string("\x00\xDC", 2)}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
