#pragma once
// The online update checks as the windows' thread runs them: the network part on a thread of
// its own, the outcome applied on the windows' thread when it arrives. The About window runs
// them, and so does the start-up, which has no window to show them in.
#include <QObject>
#include <exception>
#include <memory>
#include <string>

#include "about/update_check.h"

namespace lumigrid {

// Runs the checks one after another, in the order they were started, and applies each outcome
// to `view` on `context`'s thread; an outcome that arrives after `context` has gone is dropped,
// and one that raises an error shows it in an error box. Destroying the runner stops a check
// still on the network and waits for it. A build without the update check
// (LUMIGRID_UPDATE_CHECK=0) starts nothing.
class UpdateCheckRunner {
 public:
  UpdateCheckRunner(QObject* context, about::UpdateView& view);
  ~UpdateCheckRunner();
  UpdateCheckRunner(const UpdateCheckRunner&) = delete;
  UpdateCheckRunner& operator=(const UpdateCheckRunner&) = delete;

  // The first check downloads the index file into the current folder; the second fetches it.
  void startFirstCheck();
  void startSecondCheck();

 private:
#if LUMIGRID_UPDATE_CHECK
  std::unique_ptr<about::CheckQueue> checks_;
#endif
};

// Names the program in the About module's state after the executable's file name, and the
// address its updates come from.
void name_the_program(about::UpdateState& state);

// Shows an error of the About module in an error box over the active window.
void show_about_error(const std::exception& error);

// The update check the program starts with: what the About window's creation step does to the
// About module's state (the program's names, its file version, the first check), without a
// window. The outcome lands in the module state the About windows share; the captions a window
// would show are kept here.
class StartUpUpdateCheck : private about::UpdateView {
 public:
  // An error while naming the program, reading its version or starting the check is shown in
  // an error box, and what ran before it stays in effect.
  StartUpUpdateCheck();
  ~StartUpUpdateCheck() override;
  StartUpUpdateCheck(const StartUpUpdateCheck&) = delete;
  StartUpUpdateCheck& operator=(const StartUpUpdateCheck&) = delete;

  // What the About window's buttons would show after the outcomes so far.
  const std::string& downloadCaption() const { return download_caption_; }
  const std::string& downloadTooltip() const { return download_tooltip_; }
  const std::string& webTooltip() const { return web_tooltip_; }

 private:
  void setDownloadCaption(const std::string& caption) override;
  void setDownloadTooltip(const std::string& tooltip) override;
  void setWebTooltip(const std::string& tooltip) override;
  // Only the download asks, tells or opens anything, and it runs from the About window.
  about::Answer ask(const std::string& question) override;
  void tell(const std::string& message) override;
  void openFile(const std::string& path) override;

  std::string download_caption_;
  std::string download_tooltip_;
  std::string web_tooltip_;
  QObject context_;  // the thread the outcomes are applied on
  // Last, so that it goes first: no outcome reaches the members above once they are gone.
  std::unique_ptr<UpdateCheckRunner> checks_;
};

}  // namespace lumigrid
