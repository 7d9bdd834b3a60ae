#pragma once
// Shared pieces of the update-check tests: a window stand-in that records what the checks show
// (their scratch folders are support/temp_folder.h's WorkingFolder).
#include <optional>
#include <string>
#include <vector>

#include "about/update_check.h"
#include "support/temp_folder.h"

namespace lumigrid::testing {

class RecordingView : public about::UpdateView {
 public:
  std::optional<std::string> download_caption;
  std::optional<std::string> download_tooltip;
  std::optional<std::string> web_tooltip;
  about::Answer answer = about::Answer::Yes;
  std::vector<std::string> questions;
  std::vector<std::string> messages;
  std::vector<std::string> opened;

  void setDownloadCaption(const std::string& caption) override { download_caption = caption; }
  void setDownloadTooltip(const std::string& tooltip) override { download_tooltip = tooltip; }
  void setWebTooltip(const std::string& tooltip) override { web_tooltip = tooltip; }
  about::Answer ask(const std::string& question) override {
    questions.push_back(question);
    return answer;
  }
  void tell(const std::string& message) override { messages.push_back(message); }
  void openFile(const std::string& path) override { opened.push_back(path); }
};

}  // namespace lumigrid::testing
