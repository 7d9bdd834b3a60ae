#include "ui/application.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "settings/settings.h"
#include "ui/chart_window.h"
#include "ui/window_set.h"

namespace lumigrid {

LumigridApplication::LumigridApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool LumigridApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::bad_alloc&) {
    // The program's own large allocations (pages, pictures) report their failures with their
    // own texts; what arrives here ran out inside a handler or a paint, and the error box
    // would need memory as well (the toolkit then crashes in making it). So the program ends
    // as it does when a toolkit thread runs out: one line, status 1.
    std::fputs("lumigrid: not enough memory to go on\n", stderr);
    std::fflush(stderr);
    std::_Exit(1);
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
