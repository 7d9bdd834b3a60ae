#pragma once
// Shared pieces of the update-check tests: a scratch folder that is also the current folder,
// and a window stand-in that records what the checks show.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "about/update_check.h"

namespace lumigrid::testing {

// A fresh folder, made the current folder for the test's lifetime.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& tag) {
    char pattern_text[] = "/tmp/lumigrid-about-XXXXXX";
    path_ = ::mkdtemp(pattern_text);
    path_ /= tag;
    std::filesystem::create_directories(path_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~ScratchFolder() {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(path_.parent_path());
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

inline void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class RecordingView : public about::UpdateView {
 public:
  std::optional<std::string> download_caption;
  std::optional<std::string> download_tooltip;
  std::optional<std::string> web_tooltip;
  about::Answer answer = about::Answer::Yes;
  std::vector<std::string> questions;
  std::vector<std::string> messages;
  std::vector<std::string> opened;

  void set_download_caption(const std::string& caption) override { download_caption = caption; }
  void set_download_tooltip(const std::string& tooltip) override { download_tooltip = tooltip; }
  void set_web_tooltip(const std::string& tooltip) override { web_tooltip = tooltip; }
  about::Answer ask(const std::string& question) override {
    questions.push_back(question);
    return answer;
  }
  void tell(const std::string& message) override { messages.push_back(message); }
  void open_file(const std::string& path) override { opened.push_back(path); }
};

}  // namespace lumigrid::testing
