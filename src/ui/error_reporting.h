#pragma once
// How an error raised by an event handler reaches the operator: shown in an error box, and the
// program goes on.
#include <QString>
#include <exception>
#include <functional>

namespace lumigrid {

// Shows an error's message to the operator. The default shows the standard error box; tests
// install their own.
using ErrorReporter = std::function<void(const QString& message)>;
// Installs `reporter` (an empty one restores the default) and returns the previous one.
ErrorReporter set_error_reporter(ErrorReporter reporter);
void report_error(const QString& message);
void report_error(const std::exception& error);

// Runs one event handler. An error it raises is shown and the program goes on, so that no
// exception has to unwind through the toolkit's own frames.
template <typename Handler>
void run_handler(Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    report_error(error);
  }
}

}  // namespace lumigrid
