#include "ui/application.h"

#include <QFile>
#include <QMessageBox>
#include <memory>
#include <utility>

#include "settings/settings.h"
#include "ui/about_box.h"
#include "ui/adjust_window.h"
#include "ui/chart_window.h"
#include "ui/page_viewer.h"

namespace lumigrid {
namespace {

ErrorReporter& installed_reporter() {
  static ErrorReporter reporter;
  return reporter;
}

void show_error_box(const QString& message) {
  QMessageBox::critical(QApplication::activeWindow(), QCoreApplication::applicationName(), message);
}

// A window's creation step: an error stops the step and is shown; the window stays and start-up
// goes on.
template <typename Step>
void run_creation_step(Step&& step) {
  run_handler(std::forward<Step>(step));
}

}  // namespace

ErrorReporter set_error_reporter(ErrorReporter reporter) {
  return std::exchange(installed_reporter(), std::move(reporter));
}

void report_error(const QString& message) {
  if (installed_reporter()) {
    installed_reporter()(message);
  } else {
    show_error_box(message);
  }
}

void report_error(const std::exception& error) {
  report_error(QString::fromUtf8(error.what()));
}

LumigridApplication::LumigridApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool LumigridApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    report_error(error);
  }
  return false;
}

int run_lumigrid(LumigridApplication& app) {
  const std::filesystem::path settings_path = settings_path_for(
      std::filesystem::path(QFile::encodeName(app.applicationFilePath()).toStdString()));

  // The chart window is the main window: closing it ends the program, closing any other window
  // only hides it. Each reference is set before its window's creation step runs.
  auto chart = std::make_unique<TForm_full_screen_chart>(settings_path);
  Form_full_screen_chart = chart.get();

  Form_menu = new TForm_menu(settings_path, chart.get());
  run_creation_step([] { Form_menu->FormCreate(); });

  Form_Info = new TForm_Info(chart.get());

  // The About window's creation step may download; start-up waits for it.
  run_creation_step([&chart] { AboutBox = new TAboutBox(chart.get()); });
  if (AboutBox != nullptr) AboutBox->setAttribute(Qt::WA_QuitOnClose, false);

  chart->show();
  const int status = app.exec();
  chart.reset();  // the other windows go with their owner
  return status;
}

}  // namespace lumigrid
