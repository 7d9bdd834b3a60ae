#include "settings/ini_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <variant>

#include "base/errors.h"
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

}  // namespace
}  // namespace lumigrid
