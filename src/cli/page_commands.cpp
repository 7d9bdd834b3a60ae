#include "cli/page_commands.h"

#include <cstdint>
#include <exception>
#include <iostream>
#include <string>

#include "base/errors.h"
#include "base/utf.h"
#include "cli/terminal_progress.h"
#include "export/image_export.h"
#include "page/drawing_area.h"
#include "page/page_build.h"
#ifdef LUMIGRID_HAVE_CUPS
#include "print/cups_printing.h"
#include "print/print_layout.h"
#endif

namespace lumigrid::cli {

namespace {

#ifdef LUMIGRID_HAVE_CUPS
// Follows a sent job through the queue's filters: its states on `err`, its completion on `out`;
// any other end is an error.
void follow_job(const PrintServer& server, const std::string& queue, int id, std::ostream& err,
                std::ostream& out) {
  const PrintJobOutcome outcome = follow_print_job(
      server, queue, id, [&](const std::string& state) { err << state << std::endl; });
  if (outcome.end != PrintJobEnd::Completed) throw Error(outcome.message);
  out << outcome.message << std::endl;
}
#endif

// Prints the page as the viewer does: the queue checked, the page's own paper asked for, the
// page's PDF sent. What the queue cannot do is said, and the job still goes, as a script wants.
void print_page(const RowSource& page, const PageOptions& options, ProgressBar& bar,
                std::ostream& err, std::ostream& out) {
#ifdef LUMIGRID_HAVE_CUPS
  const PrintServer server = default_print_server();
  const std::string name =
      options.print_queue->empty() ? default_print_queue(server) : *options.print_queue;
  const PreparedPageJob job =
      prepare_page_job(server, name, options.text, page.width(), page.height());
  for (const std::string& warning : job.warnings) {
    err << "warning: " << warning << '\n';
  }
  const int id = send_page_job(server, page, job.plan, job.request, bar.phase("printing page"));
  bar.finish();
  out << job_sent_message(name, id) << std::endl;
  if (options.wait_for_job) follow_job(server, name, id, err, out);
#else
  (void)page;
  (void)options;
  (void)bar;
  (void)err;
  (void)out;
  throw Error("Unable to print the page: this build has no print system");
#endif
}

}  // namespace

int run_page_command(const PageOptions& options, std::ostream& err) {
  return run_page_command(options, err, std::cout);
}

int run_page_command(const PageOptions& options, std::ostream& err, std::ostream& out) {
  ProgressBar bar(err);
  try {
    const PageRequest request{{options.space, options.pitch, options.pitch2}, options.ppi};
    const std::u16string text = utf16_from_utf8(options.text);
    std::uint64_t available = available_page_memory();
    if (options.output) {
      // A picture the file cannot take is refused before its page is built, and the encoder's
      // row buffers are counted with the page's description, since both are held while it is
      // saved.
      const AreaSize size = drawing_area_size(std::u16string_view(text), kPageDpi);
      check_savable_size(size.width, size.height, *options.output);
      const std::uint64_t rows =
          save_row_buffer_bytes(size.width, encoding_for_file_name(options.output->string()));
      available = available > rows ? available - rows : 0;
    }
    const ChartPageBuild build =
        build_chart_page(text, request, available, bar.phase("building page"));
    if (options.output) save_image(*build.page, *options.output, bar.phase("saving page"));
    if (options.print_queue) print_page(*build.page, options, bar, err, out);
    bar.finish();
    return 0;
  } catch (const std::exception& e) {
    bar.finish();
    err << "error: " << e.what() << '\n';
    return 1;
  }
}

int run_area_command(const std::string& text, std::int32_t dpi, std::ostream& out) {
  const AreaSize size = drawing_area_size(std::string_view(text), dpi);
  out << size.width << ' ' << size.height << '\n';
  return 0;
}

void print_sheet(const RowSource& sheet, const SheetPrintOptions& options, std::ostream& err,
                 std::ostream& out, const ProgressCallback& progress) {
#ifdef LUMIGRID_HAVE_CUPS
  const PrintServer server = default_print_server();
  const std::string name = options.queue.empty() ? default_print_queue(server) : options.queue;
  const PreparedSheetJob job = prepare_sheet_job(server, name, options.sheet);
  for (const std::string& warning : job.warnings) {
    err << "warning: " << warning << '\n';
  }
  const int id = send_sheet_job(server, sheet, job, progress);
  out << job_sent_message(name, id) << std::endl;
  if (options.wait_for_job) follow_job(server, name, id, err, out);
#else
  (void)sheet;
  (void)options;
  (void)err;
  (void)out;
  (void)progress;
  throw Error("Unable to print the sheet: this build has no print system");
#endif
}

}  // namespace lumigrid::cli
