#pragma once
// The online update check of the About window: the first check (index file downloaded into the
// current folder), the second check (index file fetched by HTTP GET), and the download of the
// published release. The window supplies an UpdateView and applies what the checks tell it.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

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
  virtual void setDownloadCaption(const std::string& caption) = 0;
  virtual void setDownloadTooltip(const std::string& tooltip) = 0;
  virtual void setWebTooltip(const std::string& tooltip) = 0;
  // A question box with Yes, No and Cancel.
  virtual Answer ask(const std::string& question) = 0;
  // A plain message box with OK.
  virtual void tell(const std::string& message) = 0;
  // The shell's open of a local file; its outcome is not reported.
  virtual void openFile(const std::string& path) = 0;
  // Runs the release download `download`, which watches `cancel` and reports its progress
  // (bytes received, bytes announced or -1) from the thread it runs on. A window shows the
  // progress with a Cancel button when it lasts; this default simply runs it.
  virtual bool runDownload(
      const std::function<bool(const std::atomic<bool>& cancel,
                               const std::function<void(std::int64_t, std::int64_t)>& progress)>&
          download);
  // True when the operator cancelled the last runDownload.
  virtual bool downloadCancelled() const { return false; }
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

// Each check in two halves: the network half may run on any thread and touches neither the
// state nor the window; the returned closure is the other half, run on the window's thread to
// store and show the outcome (run_first_check is the two run in a row). `cancel` stops the
// network half early, which then reports a failed check.
using CheckOutcome = std::function<bool(UpdateState& state, UpdateView& view)>;
CheckOutcome fetch_first_check(const std::string& update_base_url, const std::string& index_path,
                               const std::atomic<bool>* cancel = nullptr);
CheckOutcome fetch_second_check(const std::string& update_base_url,
                                const std::atomic<bool>* cancel = nullptr);

// Runs the network halves of checks one after another on a thread of its own and hands each
// outcome to `deliver`, which must run it on the window's thread; outcomes arrive in the order
// the checks were asked for. Destroying the queue cancels the running check and waits for it;
// outcomes not yet delivered are dropped.
class CheckQueue {
 public:
  using Network = std::function<CheckOutcome(const std::atomic<bool>& cancel)>;
  using Deliver = std::function<void(CheckOutcome outcome)>;
  explicit CheckQueue(Deliver deliver);
  ~CheckQueue();
  CheckQueue(const CheckQueue&) = delete;
  CheckQueue& operator=(const CheckQueue&) = delete;

  void submit(Network network);

 private:
  void run();

  Deliver deliver_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Network> waiting_;
  bool stopping_ = false;
  std::atomic<bool> cancel_{false};
  std::thread thread_;
};

// The download button: confirmation, then the release file into `executable_folder` and the
// shell's open of it; a failed or refused download is told with download_error_text, a
// cancelled one is not. `settings_file_name` is a name the release may not take.
void run_download_action(UpdateState& state, UpdateView& view, const std::string& executable_folder,
                         const std::string& settings_file_name = "");

// The web button's page: the published website, or the documentation page without one. The
// website comes from the network and is opened only when it is an http or https address, never
// as a local file or program; empty when there is nothing to open.
std::string web_button_url(const UpdateState& state, const std::string& documentation_url);

}  // namespace lumigrid::about
