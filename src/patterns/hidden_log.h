#pragma once
// The chart window's log list: never shown or read by the program, so it keeps only its most
// recent lines instead of growing for as long as the program runs.
#include <cstddef>
#include <deque>
#include <string>

namespace lumigrid {

class HiddenLog {
 public:
  static constexpr std::size_t kKeptLines = 1000;

  void append(std::string line) {
    if (lines_.size() == kKeptLines) lines_.pop_front();
    lines_.push_back(std::move(line));
  }
  const std::deque<std::string>& lines() const { return lines_; }

 private:
  std::deque<std::string> lines_;
};

}  // namespace lumigrid
