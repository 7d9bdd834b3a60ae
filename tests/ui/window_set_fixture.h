#pragma once
// The window set of the chart, adjust and viewer windows over a settings file in a scratch
// folder, with every error box collected instead of shown: the Qt tests of the windows start from
// it.
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "ui/application.h"
#include "ui/window_set.h"

class TForm_full_screen_chart;
class TForm_menu;
class TForm_Info;

class WindowSetFixture {
 protected:
  // The scratch folder, its settings path and the error collector; no windows yet.
  void openScratch() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    settings_path_ = std::filesystem::path(dir_->filePath("lumigrid.INI").toStdString());
    errors_.clear();
    lumigrid::set_error_reporter([this](const QString& message) { errors_ << message; });
  }
  void createWindowSet() {
    windows_ = std::make_unique<lumigrid::WindowSet>(settings_path_,
                                                     lumigrid::WindowSet::Start::WindowsOnly);
    chart_ = windows_->chart();
    adjust_ = windows_->adjust();
    viewer_ = windows_->viewer();
  }
  void closeScratch() {
    windows_.reset();
    lumigrid::set_error_reporter({});
    dir_.reset();
  }

  std::unique_ptr<QTemporaryDir> dir_;
  std::filesystem::path settings_path_;
  std::unique_ptr<lumigrid::WindowSet> windows_;
  TForm_full_screen_chart* chart_ = nullptr;
  TForm_menu* adjust_ = nullptr;
  TForm_Info* viewer_ = nullptr;
  QStringList errors_;
};
