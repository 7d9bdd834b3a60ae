#include "ui/application.h"

#include <QFile>
#include <filesystem>

#include "settings/settings.h"
#include "ui/chart_window.h"
#include "ui/window_set.h"

namespace lumigrid {

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
  // Beside the program when it can write there, otherwise in the user's configuration folder.
  WindowSet windows(locate_settings(
      std::filesystem::path(QFile::encodeName(app.applicationFilePath()).toStdString())));
  windows.chart()->show();
  return app.exec();
}

}  // namespace lumigrid
