#pragma once
// The online update check of the About window: the first check (index file downloaded into the
// current folder), the second check (index file fetched by HTTP GET), and the download of the
// published release. The window supplies an UpdateView and applies what the checks tell it.
#include <string>

namespace lumigrid::about {

// The About module's variables, shared by every About window until the program ends.
struct UpdateState {
  std::string program_name;
  std::string local_version;
  std::string update_base_url;
  std::string release_file_name;
  std::string online_version;
  std::string release_website;
  std::string update_status_text;
};

enum class Answer { Yes, No, Cancel };

// What the checks need from the window.
class UpdateView {
 public:
  virtual ~UpdateView() = default;
  virtual void set_download_caption(const std::string& caption) = 0;
  virtual void set_download_tooltip(const std::string& tooltip) = 0;
  virtual void set_web_tooltip(const std::string& tooltip) = 0;
  // A question box with Yes, No and Cancel.
  virtual Answer ask(const std::string& question) = 0;
  // A plain message box with OK.
  virtual void tell(const std::string& message) = 0;
  // The shell's open of a local file; its outcome is not reported.
  virtual void open_file(const std::string& path) = 0;
};

// Build-time addresses; the tests point the host at a local server.
struct UpdateSettings {
  std::string host;               // host[:port] of the update file share
  std::string documentation_url;  // opened by the web button without a published website
};
UpdateSettings& update_settings();

// The first check. Downloads the index file into `index_path` (replacing it and leaving it
// there) and reads it. A failed download or an unusable index ends in kCheckFailedText. Throws
// lumigrid::Error when the downloaded file cannot be read back.
bool run_first_check(UpdateState& state, UpdateView& view,
                     const std::string& index_path = "index.json");

// The second check: HTTP GET of the index file. Every failure ends in kCheckFailedText.
bool run_second_check(UpdateState& state, UpdateView& view);

// The download button: confirmation, then the release file into `executable_folder` and the
// shell's open of it; a failed or refused download is told with download_error_text.
void run_download_action(UpdateState& state, UpdateView& view,
                         const std::string& executable_folder);

// The web button's page: the published website, or the documentation page without one. The
// website comes from the network and is opened only when it is an http or https address, never
// as a local file or program; empty when there is nothing to open.
std::string web_button_url(const UpdateState& state, const std::string& documentation_url);

}  // namespace lumigrid::about
