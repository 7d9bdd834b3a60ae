#pragma once
// Printing a page through CUPS: the queue asked how it stands and what paper it has, and the
// job sent as the program's own true-size PDF (the bytes a saved PDF holds, one page pixel per
// 1/600 inch), asking for its paper, no scaling and 600 dpi. Every outcome is told: the job's
// id, or CUPS's own reason.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "base/progress.h"
#include "print/print_layout.h"
#include "surface/row_source.h"

namespace lumigrid {

// The print server: a host name or the path of a local socket, and a port.
struct PrintServer {
  std::string host;
  int port = 0;
};

// The server CUPS itself would use (CUPS_SERVER, client.conf, else the local scheduler).
PrintServer default_print_server();

// Why the server does not answer ("no print server answers at /run/cups/cups.sock (No such
// file or directory)"), or nothing when it does.
std::optional<std::string> print_server_problem(const PrintServer& server);

// The queue the server prints on when none is named. Throws lumigrid::Error ("Unable to print
// the page: ...") when the server does not answer or names none.
std::string default_print_queue(const PrintServer& server);

// How the queue stands and what it offers. Throws lumigrid::Error ("Unable to print the page
// on QUEUE: REASON") when the server does not answer or has no such queue.
PrintQueue query_print_queue(const PrintServer& server, const std::string& queue);

// The operator cancelled the job: nothing is printed and no job is left waiting.
class PrintCancelled : public Error {
 public:
  explicit PrintCancelled(const std::string& queue)
      : Error("Printing cancelled: nothing is printed on " + queue) {}
};

// What a job carries besides the page.
struct PrintJobRequest {
  std::string queue;
  std::string job_name;  // print_job_name(): the page's drawing-area text
  int copies = 1;
  bool ask_600_dpi = true;  // the queue offers it
};

// Writes the page's PDF as the plan lays it out (the saved PDF itself when the page is the
// sheet) into a temporary file and sends it as one job; returns the id the server gave it.
// `progress` sees the PDF made, then sent. `cancel`, when set, stops the job, throwing
// PrintCancelled: before the document is all sent nothing reaches the server; later the job
// the server made is cancelled and purged. Any failure throws lumigrid::Error "Unable to print the
// page on QUEUE: REASON", the reason in CUPS's words.
int send_page_job(const PrintServer& server, const RowSource& page, const PrintPlan& plan,
                  const PrintJobRequest& request, const ProgressCallback& progress = {},
                  const std::atomic<bool>* cancel = nullptr);
inline int send_page_job(const PrintServer& server, const Surface& page, const PrintPlan& plan,
                         const PrintJobRequest& request, const ProgressCallback& progress = {},
                         const std::atomic<bool>* cancel = nullptr) {
  return send_page_job(server, SurfaceRows(page), plan, request, progress, cancel);
}

// A page's job as the viewer and lumigrid-render make it, not yet sent.
struct PreparedPageJob {
  PrintQueue queue;
  PrintPlan plan;
  std::vector<std::string> warnings;  // print_warnings(): what the operator hears first
  PrintJobRequest request;            // one copy
};

// Asks the queue how it stands and lays the page out on it. A page of a named paper (A5 to A0,
// B5 to B0) goes on that paper; `chosen`, the operator's paper, counts only for a page of no
// paper of its own. Throws lumigrid::Error with the queue's refusal or CUPS's reason.
PreparedPageJob prepare_page_job(const PrintServer& server, const std::string& queue,
                                 std::string_view area_text_utf8, std::int32_t page_width,
                                 std::int32_t page_height,
                                 const std::optional<WantedPaper>& chosen = std::nullopt);

// "Sent to PDF as job 12".
std::string job_sent_message(const std::string& queue, int job_id);

}  // namespace lumigrid
