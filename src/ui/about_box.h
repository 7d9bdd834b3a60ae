#pragma once
// The About window: the program's name, icon, file version and release date, a web button and
// the download button that shows the outcome of the online update check.
#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QToolButton>
#include <string>

#include "about/update_check.h"

class TAboutBox : public QDialog, private lumigrid::about::UpdateView {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  QLabel* Image1 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* UpdateDate = nullptr;
  QToolButton* SpeedButton_web = nullptr;
  QToolButton* SpeedButton_download = nullptr;
  QLabel* Copyright = nullptr;
  QAction* Action_check_for_update = nullptr;

  // The first check, run by the creation step; true when it succeeded.
  bool get_onlin_info();
  // The second check, run at every activation; true when it succeeded.
  bool get_onlin_info2();

 public slots:
  void Action_check_for_updateExecute();
  void SpeedButton_webClick();

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  void FormActivate();

  void set_download_caption(const std::string& caption) override;
  void set_download_tooltip(const std::string& tooltip) override;
  void set_web_tooltip(const std::string& tooltip) override;
  lumigrid::about::Answer ask(const std::string& question) override;
  void tell(const std::string& message) override;
  void open_file(const std::string& path) override;
};

// Creates a fresh About window, shows it modally and destroys it when it closes.
void show_about_box(QWidget* parent);

// The About module's variables, shared by every About window.
lumigrid::about::UpdateState& about_module_state();
