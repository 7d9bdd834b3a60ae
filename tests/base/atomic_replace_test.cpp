#include "base/atomic_replace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/temp_folder.h"

namespace lumigrid {
namespace {

using testing::read_file;
using testing::TempFolder;
using testing::write_file;

constexpr std::string_view kNewBytes = "new contents";

bool write_all(int fd, std::string_view bytes) {
  return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

struct stat status_of(const std::filesystem::path& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st;
}

std::vector<std::string> sorted_entries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// What stands at the target before the save.
enum class Before : std::uint8_t { Nothing, File, Folder };

struct TargetCase {
  const char* name;
  Before before;
  mode_t mode;  // of the file or folder there
  int refusal;
};

class ReplaceTarget : public TempFolder, public ::testing::WithParamInterface<TargetCase> {};

// A file is replaced with its mode kept; one nobody may write and a folder are refused (also
// for the superuser) and stay exactly as they were, with no temporary left beside them.
TEST_P(ReplaceTarget, ReplacedWithItsModeOrRefusedUntouched) {
  const TargetCase& c = GetParam();
  const auto target = folder / "t.ini";
  if (c.before == Before::File) {
    write_file(target, "old contents");
    ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);
  } else if (c.before == Before::Folder) {
    std::filesystem::create_directory(target);
    ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);
  }

  FileReplacement replacement(target, ".", ".tmp");
  EXPECT_EQ(replacement.refusal(), c.refusal);
  EXPECT_EQ(replacement.ready(), c.refusal == 0);
  EXPECT_EQ(replacement.replacesExisting(), c.refusal == 0 && c.before == Before::File);
  if (c.refusal == 0) {
    ASSERT_TRUE(write_all(replacement.fd(), kNewBytes));
    ASSERT_EQ(replacement.commit(true), 0);
    EXPECT_EQ(read_file(target), kNewBytes);
  } else {
    EXPECT_NE(replacement.commit(true), 0);
    if (c.before == Before::File) {
      EXPECT_EQ(read_file(target), "old contents");
    }
  }
  if (c.before != Before::Nothing) {
    EXPECT_EQ(status_of(target).st_mode & 07777, c.mode);
  }
  EXPECT_EQ(sorted_entries(folder), std::vector<std::string>{"t.ini"});
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ReplaceTarget,
    ::testing::Values(TargetCase{"new_file", Before::Nothing, 0, 0},
                      TargetCase{"private_file", Before::File, 0600, 0},
                      TargetCase{"group_readable_file", Before::File, 0640, 0},
                      TargetCase{"executable_file", Before::File, 0751, 0},
                      // Wider than the umask lets a new file be: the old mode still passes on.
                      TargetCase{"writable_by_everyone", Before::File, 0666, 0},
                      TargetCase{"read_only_file", Before::File, 0444,
                                 FileReplacement::kReadOnlyFile},
                      TargetCase{"folder", Before::Folder, 0755, EISDIR}),
    [](const auto& row) { return std::string(row.param.name); });

struct NameCase {
  const char* name;
  std::string file_name;
};

class LongTargetName : public TempFolder, public ::testing::WithParamInterface<NameCase> {};

// The temporary's name fits a folder entry however long the target's name, so every name the
// system accepts can be saved.
TEST_P(LongTargetName, TemporaryFitsAndTheFileIsSaved) {
  const NameCase& c = GetParam();
  ASSERT_LE(c.file_name.size(), std::size_t{NAME_MAX});
  for (const auto& [lead, tail] : {std::pair{"", ".tmp"}, std::pair{".", ".part"}}) {
    const auto target = folder / c.file_name;
    FileReplacement replacement(target, lead, tail);
    ASSERT_TRUE(replacement.ready()) << std::strerror(replacement.error());
    EXPECT_LE(replacement.temporary().filename().string().size(), std::size_t{NAME_MAX});
    EXPECT_EQ(replacement.temporary().parent_path(), folder);
    ASSERT_TRUE(write_all(replacement.fd(), kNewBytes));
    ASSERT_EQ(replacement.commit(false), 0);
    EXPECT_EQ(read_file(target), kNewBytes);
    EXPECT_EQ(sorted_entries(folder), std::vector<std::string>{c.file_name});
  }
}

std::string repeated(std::string_view piece, std::size_t times, std::string_view end = "") {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += piece;
  text += end;
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Names, LongTargetName,
    ::testing::Values(NameCase{"short", "page.png"},
                      NameCase{"one_below_the_limit", std::string(NAME_MAX - 1, 'a')},
                      NameCase{"at_the_limit", std::string(NAME_MAX, 'a')},
                      // 2-, 3- and 4-byte characters: the cut must not split one.
                      NameCase{"two_byte_characters", repeated("\xC3\xA9", 127, "x")},
                      NameCase{"three_byte_characters", repeated("\xE2\x82\xAC", 85)},
                      NameCase{"four_byte_characters", repeated("\xF0\x9F\x98\x80", 63, "abc")}),
    [](const auto& row) { return std::string(row.param.name); });

// Leftovers of a killed process beside the target are removed before the new temporary is
// made; those of a running process, of another file and other files stay.
class StaleTemporaries : public TempFolder {};

TEST_F(StaleTemporaries, KilledProcessesLeftoversRemovedOthersKept) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  const std::string dead = ".t.ini.tmp" + std::to_string(child) + "_7";
  const std::string running = ".t.ini.tmp1_7";
  const std::string other_file = ".u.ini.tmp" + std::to_string(child) + "_7";
  const std::string not_a_temporary = ".t.ini.tmp" + std::to_string(child) + "_7x";
  for (const auto& name : {dead, running, other_file, not_a_temporary})
    write_file(folder / name, "x");

  {
    FileReplacement replacement(folder / "t.ini", ".", ".tmp");
    ASSERT_TRUE(replacement.ready());
    EXPECT_EQ(std::filesystem::exists(folder / dead), false);
  }
  auto expected = std::vector<std::string>{running, other_file, not_a_temporary};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(sorted_entries(folder), expected);
}

// A save that fails, whether before the rename (the writer gives up) or at it, leaves the
// target as it was and no temporary behind.
enum class Failure : std::uint8_t { WriterGivesUp, RenameFails };

struct FailureCase {
  const char* name;
  Failure failure;
};

class FailedReplace : public TempFolder, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailedReplace, TargetUntouchedAndNoTemporaryLeft) {
  const auto target = folder / "t.ini";
  write_file(target, "old contents");
  FileReplacement replacement(target, "", ".tmp");
  ASSERT_TRUE(replacement.ready());
  ASSERT_TRUE(write_all(replacement.fd(), kNewBytes));
  if (GetParam().failure == Failure::WriterGivesUp) {
    replacement.discard();
    EXPECT_EQ(read_file(target), "old contents");
    EXPECT_EQ(sorted_entries(folder), std::vector<std::string>{"t.ini"});
  } else {
    // A folder that is not empty took the file's place: no rename can replace it.
    std::filesystem::remove(target);
    std::filesystem::create_directory(target);
    write_file(target / "kept", "old contents");
    EXPECT_NE(replacement.commit(true), 0);
    EXPECT_EQ(read_file(target / "kept"), "old contents");
    EXPECT_EQ(sorted_entries(folder), std::vector<std::string>{"t.ini"});
  }
}

INSTANTIATE_TEST_SUITE_P(Failures, FailedReplace,
                         ::testing::Values(FailureCase{"writer_gives_up", Failure::WriterGivesUp},
                                           FailureCase{"rename_fails", Failure::RenameFails}),
                         [](const auto& row) { return std::string(row.param.name); });

// The superuser replacing another user's file leaves it that user's, with its group and mode
// (set-id bits included, which a change of owner clears).
struct OwnerCase {
  const char* name;
  mode_t mode;
};

class ReplaceAnotherUsersFile : public TempFolder,
                                public ::testing::WithParamInterface<OwnerCase> {};

TEST_P(ReplaceAnotherUsersFile, OwnerGroupAndModeKept) {
  if (::geteuid() != 0) GTEST_SKIP() << "only the superuser may give a file away";
  constexpr uid_t kOtherUser = 65534;
  constexpr gid_t kOtherGroup = 65534;
  const auto target = folder / "t.ini";
  write_file(target, "old contents");
  ASSERT_EQ(::chown(target.c_str(), kOtherUser, kOtherGroup), 0);
  ASSERT_EQ(::chmod(target.c_str(), GetParam().mode), 0);

  FileReplacement replacement(target, "", ".tmp");
  ASSERT_TRUE(replacement.ready());
  ASSERT_TRUE(write_all(replacement.fd(), kNewBytes));
  ASSERT_EQ(replacement.commit(true), 0);

  const struct stat st = status_of(target);
  EXPECT_EQ(read_file(target), kNewBytes);
  EXPECT_EQ(st.st_uid, kOtherUser);
  EXPECT_EQ(st.st_gid, kOtherGroup);
  EXPECT_EQ(st.st_mode & 07777, GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(Modes, ReplaceAnotherUsersFile,
                         ::testing::Values(OwnerCase{"private", 0600},
                                           OwnerCase{"group_writable", 0664},
                                           OwnerCase{"set_group_id", 02750}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid
