#pragma once
// lumigrid-render's page commands: --page builds (and writes) a printable page, --area prints
// a drawing area's size.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace lumigrid::cli {

struct PageOptions {
  std::string text;  // drawing-area text, UTF-8
  std::int32_t space = 100;
  std::int32_t pitch = 8;
  std::int32_t pitch2 = 50;
  std::int32_t ppi = 96;
  std::optional<std::filesystem::path> output;  // none: build only
  // Print the page on this queue (empty: the server's default queue).
  std::optional<std::string> print_queue;
  // Follow the job until the queue has taken it through its filters: a job that ends aborted,
  // cancelled or held there is an error.
  bool wait_for_job = false;
};

// Exit status: 0 done, 1 an error was raised (printed to `err` as "error: MESSAGE"). A print
// job's id goes to `out` ("Sent to PDF as job 12"), what the queue cannot do to `err` as
// "warning: ..." lines; with wait_for_job the job's states follow on `err` and its completion
// on `out` ("Job 12 on PDF is completed").
int run_page_command(const PageOptions& options, std::ostream& err, std::ostream& out);
int run_page_command(const PageOptions& options, std::ostream& err);
// Prints "W H" and a newline; exit status 0.
int run_area_command(const std::string& text, std::int32_t dpi, std::ostream& out);

}  // namespace lumigrid::cli
