#pragma once
// lumigrid-render's progress bar: one line on standard error, redrawn in place, and only when
// someone watches it (standard error is a terminal).
#include <functional>
#include <iosfwd>
#include <string>

namespace lumigrid::cli {

class ProgressBar {
 public:
  explicit ProgressBar(std::ostream& err);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // A callback that shows `label` with the fraction done; empty when the bar is silent.
  std::function<void(double)> phase(std::string label);

  // Ends the current bar's line, if one was drawn.
  void finish();

 private:
  void show(double fraction);

  std::ostream& err_;
  const bool enabled_;
  std::string label_;
  int percent_ = -1;
};

}  // namespace lumigrid::cli
