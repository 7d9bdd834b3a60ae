#pragma once
// Scratch folders for tests that touch files: a fresh folder, removed with all it holds (its
// read-only parts included) when the test ends, and whole-file read and write helpers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace lumigrid::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumigrid-test-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Names of the entries directly inside, in no particular order.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) {
      names.push_back(e.path().filename().string());
    }
    return names;
  }

 private:
  std::filesystem::path path_;
};

// A folder `name` inside a scratch folder, made the current folder for the object's lifetime:
// for code that works in the current folder, as the program does beside its executable.
class WorkingFolder {
 public:
  explicit WorkingFolder(const std::string& name) : path_(root_.path() / name) {
    std::filesystem::create_directories(path_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~WorkingFolder() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
  }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  ScratchFolder root_;
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

// A fixture with a fresh folder per test.
class TempFolder : public ::testing::Test {
 private:
  ScratchFolder scratch_;

 protected:
  std::filesystem::path folder = scratch_.path();
};

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::uint8_t> read_bytes(const std::filesystem::path& path) {
  const std::string bytes = read_file(path);
  return {bytes.begin(), bytes.end()};
}

inline void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace lumigrid::testing
