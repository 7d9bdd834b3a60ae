#pragma once
// The About window: the program's name, icon, file version and release date, a web button and
// the download button that shows the outcome of the online update check.
#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QToolButton>
#include <atomic>
#include <memory>
#include <string>

#include "about/update_check.h"

namespace lumigrid {
class UpdateCheckRunner;
}

class TAboutBox : public QDialog, private lumigrid::about::UpdateView {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  ~TAboutBox() override;

  // The second check, run in place; true when it succeeded. A build without the update check
  // (LUMIGRID_UPDATE_CHECK=0) runs no check: it reports failure, and the two below start nothing.
  bool get_onlin_info2();
  // The same checks as the creation step and each activation run them: the network part off
  // this thread, the outcome shown when it arrives, in the order the checks were started. The
  // window is shown and answers meanwhile.
  void startFirstCheck();
  void startSecondCheck();

 public slots:
  void Action_check_for_updateExecute();
  void SpeedButton_webClick();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // The window's parts, each named after its member so that a test finds it with findChild.
  QLabel* Image1 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* UpdateDate = nullptr;
  QToolButton* SpeedButton_web = nullptr;
  QToolButton* SpeedButton_download = nullptr;
  QLabel* Copyright = nullptr;
  QAction* Action_check_for_update = nullptr;

  void FormCreate();
  void FormActivate();

  void setDownloadCaption(const std::string& caption) override;
  void setDownloadTooltip(const std::string& tooltip) override;
  void setWebTooltip(const std::string& tooltip) override;
  lumigrid::about::Answer ask(const std::string& question) override;
  void tell(const std::string& message) override;
  void openFile(const std::string& path) override;
  bool runDownload(
      const std::function<bool(const std::atomic<bool>& cancel,
                               const std::function<void(std::int64_t, std::int64_t)>& progress)>&
          download) override;
  bool downloadCancelled() const override { return download_cancelled_; }

  std::unique_ptr<lumigrid::UpdateCheckRunner> checks_;
  bool download_cancelled_ = false;
};

// Creates a fresh About window, shows it modally and destroys it when it closes.
void show_about_box(QWidget* parent);

// The About module's variables, shared by every About window.
lumigrid::about::UpdateState& about_module_state();
