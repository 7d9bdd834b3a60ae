// What a save does to what already stands at its path: special files, links, the temporaries
// of an interrupted save.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "base/errors.h"
#include "export/export_internal.h"
#include "export/image_export.h"
#include "export_test_support.h"

namespace lumigrid {
namespace {

using testing_support::page_like_surface;
using testing_support::read_bytes;
using testing_support::ScratchFolder;
using testing_support::write_file;

std::vector<std::uint8_t> small_bmp(const ScratchFolder& folder) {
  const auto reference = folder.path() / "reference.bmp";
  save_image(page_like_surface(PixelFormat::Gray8, 3, 2), reference);
  auto bytes = read_bytes(reference);
  std::filesystem::remove(reference);
  return bytes;
}

// A FIFO, also through a link: the picture goes down the pipe and the FIFO stays. The picture
// is smaller than a pipe's buffer, so the reader can drain it after the save.
struct FifoCase {
  const char* row;
  bool through_link;
};

class FifoTarget : public ::testing::TestWithParam<FifoCase> {};

TEST_P(FifoTarget, PictureGoesDownThePipeAndTheFifoStays) {
  ScratchFolder folder;
  const auto expected = small_bmp(folder);
  const auto fifo = folder.path() / "pipe.bmp";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  auto target = fifo;
  if (GetParam().through_link) {
    target = folder.path() / "link.bmp";
    std::filesystem::create_symlink("pipe.bmp", target);
  }
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  save_image(page_like_surface(PixelFormat::Gray8, 3, 2), target);
  std::vector<std::uint8_t> got(expected.size() + 16);
  const ssize_t n = ::read(reader, got.data(), got.size());
  ::close(reader);
  got.resize(std::size_t(std::max<ssize_t>(n, 0)));
  EXPECT_EQ(got, expected);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_EQ(std::filesystem::is_symlink(target), GetParam().through_link);
  EXPECT_EQ(folder.entries().size(), GetParam().through_link ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Targets, FifoTarget,
                         ::testing::Values(FifoCase{"fifo", false}, FifoCase{"link_to_fifo", true}),
                         [](const auto& row) { return row.param.row; });

// Without a reader the save fails at once instead of waiting, and the FIFO stays.
TEST(FifoTargetWithoutReader, RaisesAndKeepsTheFifo) {
  ScratchFolder folder;
  const auto fifo = folder.path() / "pipe.png";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_THROW(save_image(page_like_surface(PixelFormat::Gray8, 3, 2), fifo), WriteError);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"pipe.png"});
}

// A device node (here a null device of our own) is written into, not replaced.
TEST(DeviceTarget, NodeStaysADevice) {
  ScratchFolder folder;
  const auto node = folder.path() / "null.png";
  if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
    GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
  save_image(page_like_surface(PixelFormat::Gray8, 3, 2), node);
  EXPECT_TRUE(std::filesystem::is_character_file(node));
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"null.png"});
}

TEST(DanglingLinkTarget, CreatesTheFileTheLinkNamesAndKeepsTheLink) {
  ScratchFolder folder;
  const auto expected = small_bmp(folder);
  std::filesystem::create_directory(folder.path() / "sub");
  const auto link = folder.path() / "link.bmp";
  std::filesystem::create_symlink("sub/made.bmp", link);
  save_image(page_like_surface(PixelFormat::Gray8, 3, 2), link);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(read_bytes(folder.path() / "sub" / "made.bmp"), expected);
}

// Leftovers of a killed save are removed by the next save beside them; temporaries of a
// running process and other files stay.
TEST(StaleTemporaries, RemovedByTheNextSave) {
  ScratchFolder folder;
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  const std::string dead = ".out.png.tmp" + std::to_string(child) + "_123";
  const std::string running = ".out.png.tmp1_123";
  const std::string other = ".other.png.tmp" + std::to_string(child) + "_123";
  for (const auto& name : {dead, running, other}) write_file(folder.path() / name, "x");
  save_image(page_like_surface(PixelFormat::Gray8, 3, 2), folder.path() / "out.png");
  auto names = folder.entries();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{other, running, "out.png"}));
}

// Interrupted while the temporary is open: the signal removes it and still ends the program.
class InterruptedSave : public ::testing::TestWithParam<int> {};

TEST_P(InterruptedSave, SignalRemovesTheTemporary) {
  ScratchFolder folder;
  const auto path = folder.path() / "out.png";
  write_file(path, "old contents");
  EXPECT_EXIT(
      {
        export_detail::AtomicFile file(path);
        file.write("partial", 7);
        std::raise(GetParam());
      },
      ::testing::KilledBySignal(GetParam()), "");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.png"});
  const auto bytes = read_bytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "old contents");
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedSave, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& row) {
                           return row.param == SIGINT ? "SIGINT" : "SIGTERM";
                         });

}  // namespace
}  // namespace lumigrid
