// lumigrid-render run as a program: exit status, messages and the files it leaves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/temp_folder.h"

// The address sanitizer reserves terabytes of address space and cannot start under a limit on it.
#if defined(__SANITIZE_ADDRESS__)
#define LUMIGRID_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMIGRID_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

namespace fs = std::filesystem;

class RenderCli : public lumigrid::testing::TempFolder {
 protected:
  // Runs the program in the test's folder with `args`; returns the exit status.
  // `shell_before` runs first in the same shell (a ulimit, say).
  int run(const std::string& args, const std::string& shell_before = "") {
    const std::string command = "cd '" + folder.string() + "' && " + shell_before + "LC_ALL=C '" +
                                LUMIGRID_RENDER "' " + args + " >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    out = lumigrid::testing::read_file(folder / "out.txt");
    err = lumigrid::testing::read_file(folder / "err.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::vector<std::string> entries_of_folder() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string out, err;
};

struct UsageCase {
  const char* name;
  const char* args;
};

class RenderUsage : public RenderCli, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(RenderUsage, BadArgumentsExitWithUsage) {
  EXPECT_EQ(run(GetParam().args), 2);
  EXPECT_NE(err.find("usage: lumigrid-render"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(folder / "o.bmp"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderUsage,
    ::testing::Values(
        UsageCase{"no_arguments", ""}, UsageCase{"two_modes", "--keys 0 -o o.bmp --area FHD"},
        UsageCase{"unknown_option", "--keys 0 -o o.bmp --tint red"},
        UsageCase{"missing_value", "--keys 0 -o"}, UsageCase{"missing_output", "--keys 0"},
        UsageCase{"letter_of_no_screen", "--keys 0,x -o o.bmp"},
        UsageCase{"two_letters_in_one_key", "--keys gg -o o.bmp"},
        UsageCase{"size_zero", "--size 0x10 --keys 0 -o o.bmp"},
        UsageCase{"size_too_large", "--size 32768x10 --keys 0 -o o.bmp"},
        UsageCase{"size_malformed", "--size 100 --keys 0 -o o.bmp"},
        UsageCase{"h_above_range", "--h 701 --keys 4 -o o.bmp"},
        UsageCase{"hp_below_range", "--hp -1 --keys 4 -o o.bmp"},
        UsageCase{"space_below_range", "--space 9 --keys 3 -o o.bmp"},
        UsageCase{"pitch_not_a_number", "--pitch 8a --keys 3 -o o.bmp"},
        UsageCase{"pitch_above_half_the_start_space", "--pitch 51 --keys 3 -o o.bmp"},
        UsageCase{"pitch_above_half_the_space", "--space 21 --pitch 11 --page A5"},
        UsageCase{"empty_key", "--keys 1,,2 -o o.bmp"},
        UsageCase{"trailing_comma", "--keys 1, -o o.bmp"},
        UsageCase{"key_beyond_32_bits", "--keys 2147483648 -o o.bmp"},
        UsageCase{"option_of_other_mode", "--area FHD --h 5"},
        UsageCase{"mm_per_pixel_finer_than_any_screen", "--mm-per-pixel 0.04 --keys r -o o.bmp"},
        UsageCase{"mm_per_pixel_coarser_than_any_screen", "--mm-per-pixel 2.5 --keys r -o o.bmp"},
        UsageCase{"mm_per_pixel_not_a_number", "--mm-per-pixel 0,25 --keys r -o o.bmp"},
        UsageCase{"mm_per_pixel_with_a_page", "--page A5 --mm-per-pixel 0.25"},
        UsageCase{"paper_unknown", "--keys 6 --paper A7 -o o.bmp"},
        UsageCase{"paper_at_a_dpi_not_offered", "--keys 6 --paper A4 --dpi 400 -o o.bmp"},
        UsageCase{"colour_route_unknown", "--keys 6 --paper A4 --colour cmyk -o o.bmp"},
        UsageCase{"paper_with_a_window_size", "--keys 6 --paper A4 --size 10x10 -o o.bmp"},
        UsageCase{"paper_without_file_or_queue", "--keys 6 --paper A4"},
        UsageCase{"dpi_without_paper", "--keys 6 --dpi 300 -o o.bmp"},
        UsageCase{"wait_without_print", "--keys 6 --paper A4 --wait -o o.bmp"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(RenderCli, AnyIntegerKeyDrawsAndWritesTheImage) {
  EXPECT_EQ(run("--settings s.INI --keys 0,9,12,-1,-2147483648 -o o.bmp"), 0) << err;
  EXPECT_TRUE(err.empty()) << err;
  EXPECT_GT(fs::file_size(folder / "o.bmp"), 0u);
}

TEST_F(RenderCli, DrawingErrorsAreReportedAndTheRestIsStillDrawn) {
  EXPECT_EQ(run("--size 600x400 --h 700 --settings s.INI --keys 4,8,9 -o o.png"), 1);
  EXPECT_EQ(err,
            "error: Floating point division by zero\n"
            "error: Floating point division by zero\n");
  EXPECT_GT(fs::file_size(folder / "o.png"), 0u);
}

// The width and height a PNG file's header gives.
std::pair<std::uint32_t, std::uint32_t> png_size(const std::string& png) {
  const auto be32 = [&](std::size_t at) {
    return std::uint32_t(std::uint8_t(png.at(at))) << 24 |
           std::uint32_t(std::uint8_t(png.at(at + 1))) << 16 |
           std::uint32_t(std::uint8_t(png.at(at + 2))) << 8 |
           std::uint32_t(std::uint8_t(png.at(at + 3)));
  };
  return {be32(16), be32(20)};
}

TEST_F(RenderCli, PaperSheetIsTheWholePaperAtTheResolution) {
  EXPECT_EQ(run("--settings s.INI --keys 6 --paper A5 --dpi 300 -o o.png"), 0) << err;
  EXPECT_EQ(png_size(lumigrid::testing::read_file(folder / "o.png")),
            (std::pair<std::uint32_t, std::uint32_t>{1748, 2480}));
}

TEST_F(RenderCli, SheetWhoseDrawingFailedIsSavedButNotPrinted) {
  // A chart of no columns divides by zero. No print server is asked: the queue named does not
  // exist anywhere.
  lumigrid::testing::write_file(folder / "s.INI", "[color checker]\ncolor X=0\n");
  EXPECT_EQ(run("--settings s.INI --keys 6 --paper A5 --dpi 300 -o o.png --print NoSuchQueue"), 1);
  // The sanitizer build may add its leak checker's summary after the program's own lines.
  const std::string told =
      "error: Floating point division by zero\n"
      "error: nothing is printed: a drawing failed\n";
  EXPECT_EQ(err.substr(0, told.size()), told);
  EXPECT_GT(fs::file_size(folder / "o.png"), 0u);
}

TEST_F(RenderCli, LogPrintsTheColourChartTrace) {
  std::ofstream(folder / "s.INI") << "[Dynamic Range A]\n[color checker]\n[Dynamic Range B]\n";
  EXPECT_EQ(run("--settings s.INI --log --keys 1,1,6 -o o.bmp"), 0) << err;
  EXPECT_EQ(out,
            "Dynamic Range A\nlatest cnt=1\nDynamic Range B\nlatest cnt=3\nlatest cnt=0\n"
            "color checker\nlatest cnt=2\n");
}

TEST_F(RenderCli, ColourChartCreatesTheSettingsFileItIsGiven) {
  EXPECT_EQ(run("--settings s.INI --keys 6 -o o.bmp"), 0) << err;
  EXPECT_EQ(lumigrid::testing::read_file(folder / "s.INI"),
            "[color checker]\ncolor X=6\ncolor Y=4\nborder=0.1\n");
}

TEST_F(RenderCli, UnwritableSettingsIsADrawingError) {
  EXPECT_EQ(run("--settings missing/s.INI --keys 1 -o o.bmp"), 1);
  EXPECT_EQ(err, "error: Unable to write to missing/s.INI\n");
  EXPECT_TRUE(fs::exists(folder / "o.bmp"));
}

// A drawing saved as PDF is the size the screen showed it at: --ppi pixels to the inch.
TEST_F(RenderCli, PdfPageIsThePictureAtTheGivenResolution) {
  if (std::system("pdfinfo -v >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "NEEDED TOOL MISSING: pdfinfo (poppler-utils)";
  }
  ASSERT_EQ(run("--size 240x120 --ppi 120 --settings s.INI --keys 0 -o o.pdf"), 0) << err;
  const std::string command = "pdfinfo '" + (folder / "o.pdf").string() + "' >info.txt";
  ASSERT_EQ(std::system(("cd '" + folder.string() + "' && " + command).c_str()), 0);
  EXPECT_NE(lumigrid::testing::read_file(folder / "info.txt").find("Page size:       144 x 72 pts"),
            std::string::npos)
      << lumigrid::testing::read_file(folder / "info.txt");
}

// The letters of the test screens step as the chart window's keys do: the same letter again is
// the next variant, another screen or a pattern in between starts over. Each screen covers the
// whole window, so what was drawn before it does not show.
TEST_F(RenderCli, TestScreenLettersStepLikeTheWindowsKeys) {
  const auto picture = [this](const std::string& keys) {
    EXPECT_EQ(run("--settings s.INI --keys " + keys + " -o k.bmp"), 0) << keys << ": " << err;
    return lumigrid::testing::read_file(folder / "k.bmp");
  };
  const std::string second_gamma = picture("g,g");
  EXPECT_EQ(picture("3,G,G"), second_gamma);
  EXPECT_EQ(picture("g,g,g,g,g"), second_gamma) << "three variants: the fourth press is the first";
  const std::string first_gamma = picture("g");
  EXPECT_NE(first_gamma, second_gamma);
  EXPECT_EQ(picture("g,b,g"), first_gamma);
  EXPECT_EQ(picture("g,9,g"), first_gamma);
}

// R draws the ruler screen at the pitch given, or at 96 dpi without one; a pattern after it
// replaces it as in the window.
TEST_F(RenderCli, RulerScreenAtTheGivenPitch) {
  const auto picture = [this](const std::string& args) {
    EXPECT_EQ(run("--settings s.INI " + args + " -o r.bmp"), 0) << args << ": " << err;
    return lumigrid::testing::read_file(folder / "r.bmp");
  };
  // Compared as booleans: a failure would otherwise print whole pictures.
  const std::string fine = picture("--keys r --mm-per-pixel 0.2");
  EXPECT_TRUE(picture("--keys 3,R --mm-per-pixel 0.2") == fine);
  EXPECT_TRUE(picture("--keys r --mm-per-pixel 0.3") != fine);
  EXPECT_TRUE(picture("--keys r") != fine);
  EXPECT_TRUE(picture("--keys r,9 --mm-per-pixel 0.2") == picture("--keys 9"));
}

TEST_F(RenderCli, UnwritableOutputFails) {
  EXPECT_EQ(run("--settings s.INI --keys 0 -o missing/o.bmp"), 1);
  EXPECT_EQ(err.rfind("error: ", 0), 0u) << err;
}

TEST_F(RenderCli, HelpAndVersionGoToStandardOutput) {
  EXPECT_EQ(run("--help"), 0) << err;
  EXPECT_EQ(out.rfind("usage: lumigrid-render", 0), 0u) << out;
  EXPECT_NE(out.find("--settings FILE"), std::string::npos) << out;
  EXPECT_NE(out.find("G gamma"), std::string::npos) << out;
  EXPECT_EQ(run("--version"), 0) << err;
  EXPECT_EQ(out, "lumigrid-render " LUMIGRID_VERSION "\n");
  EXPECT_TRUE(err.empty()) << err;
}

// Any Pitch the adjust window allows for the Space: up to Space div 2, beyond the start's 50.
TEST_F(RenderCli, PitchUpToHalfTheSpaceBuildsThePage) {
  EXPECT_EQ(run("--page 'qHD 960x540' --space 3840 --pitch 1920 -o p.png"), 0) << err;
  EXPECT_GT(fs::file_size(folder / "p.png"), 0u);
  EXPECT_EQ(run("--space 21 --pitch 10 --size 50x50 --settings s.INI --keys 3 -o k.bmp"), 0) << err;
}

// A save the system cannot give the memory for (here: the row buffers of a page 300 million
// pixels wide under a limit on the address space) names the file and leaves nothing behind.
TEST_F(RenderCli, NotEnoughMemoryNamesTheFileAndLeavesNoFile) {
#ifdef LUMIGRID_ADDRESS_SANITIZER
  GTEST_SKIP() << "the address sanitizer cannot run under a limit on the address space";
#endif
  EXPECT_EQ(run("--page 300000000x1 -o x.png", "ulimit -v 800000 && "), 1);
  EXPECT_NE(err.find("error: Not enough memory to write x.png\n"), std::string::npos) << err;
  std::vector<std::string> entries = entries_of_folder();
  EXPECT_EQ(entries, (std::vector<std::string>{"err.txt", "out.txt"}));
}

// A TIFF goes back to patch its header, which a pipe cannot take: what comes down a FIFO is the
// whole file a plain save writes, and a device such as /dev/null takes it too.
TEST_F(RenderCli, TiffIntoAFifoIsTheWholeFile) {
  const fs::path fifo = folder / "fifo.tif";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  // Opened before the program starts, so that its writer finds a reader.
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  std::atomic<bool> finished{false};
  std::string received;
  std::thread drain([&] {
    char chunk[65536];
    for (;;) {
      const ssize_t n = ::read(reader, chunk, sizeof chunk);
      if (n > 0) {
        received.append(chunk, std::size_t(n));
      } else if (finished && n == 0) {
        break;  // the program has ended and the pipe is empty
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
  });
  const int status = run("--page 640x480 -o fifo.tif");
  finished = true;
  drain.join();
  ::close(reader);
  EXPECT_EQ(status, 0) << err;
  EXPECT_TRUE(fs::is_fifo(fifo));

  ASSERT_EQ(run("--page 640x480 -o file.tif"), 0) << err;
  const std::string expected = lumigrid::testing::read_file(folder / "file.tif");
  EXPECT_GT(expected.size(), 0u);
  EXPECT_TRUE(received == expected)
      << received.size() << " bytes read, " << expected.size() << " expected";

  fs::create_symlink("/dev/null", folder / "null.tif");
  EXPECT_EQ(run("--page 640x480 -o null.tif"), 0) << err;
  EXPECT_TRUE(err.find("error") == std::string::npos) << err;
}

TEST_F(RenderCli, AreaPrintsTheSize) {
  EXPECT_EQ(run("--area 'FHD 1920x1080'"), 0) << err;
  EXPECT_EQ(out, "1920 1080\n");
}

}  // namespace
