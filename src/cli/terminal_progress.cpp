#include "cli/terminal_progress.h"

#include <unistd.h>

#include <iostream>
#include <utility>

namespace lumigrid::cli {

ProgressBar::ProgressBar(std::ostream& err)
    : err_(err), enabled_(&err == &std::cerr && isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() {
  finish();
}

std::function<void(double)> ProgressBar::phase(std::string label) {
  finish();
  if (!enabled_) return {};
  label_ = std::move(label);
  return [this](double fraction) { show(fraction); };
}

void ProgressBar::finish() {
  if (percent_ >= 0) err_ << '\n' << std::flush;
  percent_ = -1;
}

void ProgressBar::show(double fraction) {
  const int percent = fraction <= 0 ? 0 : fraction >= 1 ? 100 : int(fraction * 100);
  if (percent == percent_) return;
  percent_ = percent;
  constexpr int kCells = 40;
  const int filled = percent * kCells / 100;
  err_ << '\r' << label_ << " [" << std::string(std::size_t(filled), '#')
       << std::string(std::size_t(kCells - filled), ' ') << "] " << percent << '%' << std::flush;
}

}  // namespace lumigrid::cli
