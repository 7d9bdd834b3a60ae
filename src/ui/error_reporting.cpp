#include "ui/error_reporting.h"

#include <QApplication>
#include <QMessageBox>
#include <utility>

namespace lumigrid {
namespace {

ErrorReporter& installed_reporter() {
  static ErrorReporter reporter;
  return reporter;
}

void show_error_box(const QString& message) {
  QMessageBox::critical(QApplication::activeWindow(), QCoreApplication::applicationName(), message);
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

}  // namespace lumigrid
