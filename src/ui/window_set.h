#pragma once
// The window set: creates the program's three windows in their order, wires them together, so
// that no window needs to know another one's class, and starts the update check.
#include <QPointer>
#include <filesystem>
#include <memory>

#include "settings/settings.h"

class TForm_Info;
class TForm_full_screen_chart;
class TForm_menu;

namespace lumigrid {

class StartUpUpdateCheck;

class WindowSet {
 public:
  enum class Start {
    // As the program starts: the adjust window's creation step reads the settings file, and the
    // update check starts (it may download).
    Program,
    // The three windows wired, no creation step run, no update check: for tests that drive the
    // steps themselves.
    WindowsOnly,
  };

  // `settings`: the settings file the chart window writes at close and the adjust window
  // reads at creation, with its read-only fallback. An error in a creation step is shown and
  // start-up goes on.
  explicit WindowSet(const SettingsLocation& settings, Start start = Start::Program);
  // The chart window goes, and the other windows with it.
  ~WindowSet();
  WindowSet(const WindowSet&) = delete;
  WindowSet& operator=(const WindowSet&) = delete;

  // The main window: closing it ends the program, closing any other window only hides it.
  TForm_full_screen_chart* chart() const { return chart_.get(); }
  TForm_menu* adjust() const;
  TForm_Info* viewer() const;
  // The update check started with the program; null when it could not start or was not run.
  const StartUpUpdateCheck* updateCheck() const { return update_check_.get(); }

 private:
  void wire();

  std::unique_ptr<StartUpUpdateCheck> update_check_;
  std::unique_ptr<TForm_full_screen_chart> chart_;
  // Owned by the chart window.
  QPointer<TForm_menu> adjust_;
  QPointer<TForm_Info> viewer_;
};

}  // namespace lumigrid
