#pragma once
// lumigrid-render's page commands: --page builds (and writes) a printable page, --area prints
// a drawing area's size.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "base/progress.h"
#include "print/print_layout.h"
#include "surface/row_source.h"

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
// A pattern's sheet to print: on which queue (empty: the server's default), how, and whether
// the job is followed.
struct SheetPrintOptions {
  std::string queue;
  SheetPrint sheet;
  bool wait_for_job = false;
};

// Prints the sheet as lumigrid-render --keys --paper --print does, telling on `err` what the
// queue cannot do and on `out` the job's id (and with wait_for_job its end, as
// run_page_command()). Throws lumigrid::Error when it cannot print.
void print_sheet(const RowSource& sheet, const SheetPrintOptions& options, std::ostream& err,
                 std::ostream& out, const ProgressCallback& progress = {});

// Prints "W H" and a newline; exit status 0.
int run_area_command(const std::string& text, std::int32_t dpi, std::ostream& out);

}  // namespace lumigrid::cli
