#pragma once
// The application object: the top-level error handler and the program's start-up.
#include <QApplication>

#include "ui/error_reporting.h"

namespace lumigrid {

// Catches what a handler let through anyway and shows it; the event loop goes on.
class LumigridApplication : public QApplication {
 public:
  LumigridApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Creates the window set, shows the chart window and runs the event loop until the chart window
// closes; returns the exit status.
int run_lumigrid(LumigridApplication& app);

}  // namespace lumigrid
