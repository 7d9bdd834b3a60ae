#pragma once
// Printing a page through CUPS: the queue asked how it stands and what paper it has, and the
// job sent as the program's own true-size PDF (the bytes a saved PDF holds, one page pixel per
// 1/600 inch), asking for its paper, no scaling and 600 dpi. Every outcome is told: the job's
// id, or CUPS's own reason.
//
// No exchange with a print server waits without end or trusts what comes back: connecting has a
// time limit, each answer another, an answer is read into a buffer of a stated size, and every
// function that talks to a server takes a cancel flag, ending within a fifth of a second of it
// being set (throwing PrintCancelled) whatever the server does. What the server says is shown
// only cleaned (print/server_text.h) and quoted as its words.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "base/progress.h"
#include "print/print_layout.h"
#include "surface/row_source.h"

namespace lumigrid {

// The time a print server has to take a connection.
inline constexpr std::chrono::milliseconds kPrintConnectLimit{5000};
// The time it has for each answer, from the request's last byte to the answer's last (and, while
// a document is sent, to take each part of it).
inline constexpr std::chrono::milliseconds kPrintAnswerLimit{30000};
// The time a job made on the server has to be cancelled and purged once the operator cancels,
// connecting included; a cancel as the document's last bytes go first waits as long for the
// job's id.
inline constexpr std::chrono::milliseconds kPrintPurgeLimit{2000};
// The time follow_print_job() waits for a job to leave the queue's filters.
inline constexpr std::chrono::milliseconds kPrintFollowLimit{600000};
// The most bytes read of one answer.
inline constexpr std::size_t kPrintAnswerBytes = std::size_t{16} << 20;

// How long the program waits on a print server and how much it reads from it; the stated limits
// above unless a caller (a test, say) chooses others.
struct PrintLimits {
  std::chrono::milliseconds connect = kPrintConnectLimit;
  std::chrono::milliseconds answer = kPrintAnswerLimit;
  std::chrono::milliseconds purge = kPrintPurgeLimit;
  std::chrono::milliseconds follow = kPrintFollowLimit;
  std::size_t answer_bytes = kPrintAnswerBytes;
};

// The print server: a host name or the path of a local socket, a port, and the limits it gets.
struct PrintServer {
  PrintServer() = default;
  PrintServer(std::string host_name, int port_number, PrintLimits chosen = {})
      : host(std::move(host_name)), port(port_number), limits(chosen) {}
  std::string host;
  int port = 0;
  PrintLimits limits;
};

// The server CUPS itself would use (CUPS_SERVER, client.conf, else the local scheduler).
PrintServer default_print_server();

// Every function below that talks to the server takes `cancel` (nullptr: none) and throws
// PrintCancelled within about 0.2 s of it being set (a job the server already has is purged
// first, within limits.purge, and its id awaited as long when the cancel came as it was sent); a
// limit passing throws lumigrid::Error saying so ("Unable to print the page on Q: the print server
// at HOST did not answer within 30 s").

// The operator cancelled: nothing is printed and no job is left waiting.
class PrintCancelled : public Error {
 public:
  explicit PrintCancelled(const std::string& queue)
      : Error(queue.empty() ? std::string("Printing cancelled: nothing is printed")
                            : "Printing cancelled: nothing is printed on " + queue) {}
};

// Why the server does not answer ("no print server answers at /run/cups/cups.sock (No such
// file or directory)", "the print server at HOST did not answer within 30 s"), or nothing when
// it does: it is asked one real question, within its limits.
std::optional<std::string> print_server_problem(const PrintServer& server,
                                                const std::atomic<bool>* cancel = nullptr);

// The queue the server prints on when none is named (its name cleaned). Throws lumigrid::Error
// ("Unable to print the page: ...") when the server does not answer or names none.
std::string default_print_queue(const PrintServer& server,
                                const std::atomic<bool>* cancel = nullptr);

// How the queue stands and what it offers. Throws lumigrid::Error ("Unable to print the page
// on QUEUE: REASON") when the server does not answer or has no such queue.
PrintQueue query_print_queue(const PrintServer& server, const std::string& queue,
                             const std::atomic<bool>* cancel = nullptr);

// What a job carries besides the page.
struct PrintJobRequest {
  std::string queue;
  std::string job_name;  // print_job_name(): the page's drawing-area text
  int copies = 1;
  bool ask_600_dpi = true;  // the queue offers it
};

// How a pattern's sheet asks for its resolution and colours.
struct SheetJobColour {
  std::int32_t dpi = 600;
  bool ask_dpi = true;  // the queue offers `dpi`: it is asked for
  // print-color-mode: "color", or "monochrome" for a black-and-white sheet.
  std::string colour_mode = "color";
  // cm-calibration: the queue's filters leave the colours as they are.
  bool colour_management_off = true;
};

// Writes the page's PDF as the plan lays it out (the saved PDF itself when the page is the
// sheet) into a private temporary file (in a folder of the process's own, never through a
// link, removed afterwards) and sends it as one job; returns the id the server gave it, always
// positive. `progress` sees the PDF made, then sent. `cancel`, when set, stops the job, throwing
// PrintCancelled: before the document is all sent nothing reaches the server; later the job
// the server made is cancelled and purged. Any failure throws lumigrid::Error "Unable to print the
// page on QUEUE: REASON", the reason in CUPS's words or the server's, quoted; an answer that
// never comes once the whole document was sent says the server may still print it.
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
                                 const std::optional<WantedPaper>& chosen = std::nullopt,
                                 const std::atomic<bool>* cancel = nullptr);

// A pattern's sheet's job as lumigrid-render and the chart window make it, not yet sent.
struct PreparedSheetJob {
  PrintQueue queue;
  MediaChoice choice;
  SheetPrint sheet;
  std::vector<std::string> warnings;  // sheet_warnings(): what the operator hears first
  PrintJobRequest request;            // one copy; its 600 dpi is not asked, `colour` says
  SheetJobColour colour;
};

// Asks the queue how it stands and what it offers, and makes the sheet's job: its paper (as the
// queue lists it), its resolution, print-color-mode color (monochrome for a black-and-white
// sheet), and for the device route cm-calibration, which CUPS's filters take as colour
// management off. Throws lumigrid::Error with the queue's refusal or CUPS's reason.
PreparedSheetJob prepare_sheet_job(const PrintServer& server, const std::string& queue,
                                   const SheetPrint& sheet,
                                   const std::atomic<bool>* cancel = nullptr);

// Sends the sheet as one job: the PDF save_sheet_image() writes for it (the sRGB route's with
// the sRGB profile), the paper's whole area, no scaling. As send_page_job() otherwise.
int send_sheet_job(const PrintServer& server, const RowSource& sheet, const PreparedSheetJob& job,
                   const ProgressCallback& progress = {},
                   const std::atomic<bool>* cancel = nullptr);

// "Sent to PDF as job 12".
std::string job_sent_message(const std::string& queue, int job_id);

// How a followed job ended on the queue.
enum class PrintJobEnd {
  Completed,  // through the queue's filters and sent to the printer
  Held,       // held, or waiting on a paused printer: nothing printed until someone acts
  Aborted,    // the queue's filters or the printer failed it
  Canceled,   // cancelled on the server
};

struct PrintJobOutcome {
  PrintJobEnd end = PrintJobEnd::Completed;
  // What the operator reads: "Job 12 on PDF is completed", "Job 12 on PDF was aborted: the
  // server says "..." (job-state-reasons: ...)", the server's words cleaned and quoted.
  std::string message;
};

// Follows job `job_id` on `queue` until the queue has taken it through its filters: pending and
// processing go on, asked again every half second, up to limits.follow; completed, held (or
// waiting on a paused printer), aborted or canceled end it. `changed` hears each new state as a
// sentence ("Job 12 on PDF is processing"). A cancel purges the job and throws PrintCancelled;
// the follow limit passing or a server that does not answer throws lumigrid::Error.
PrintJobOutcome follow_print_job(const PrintServer& server, const std::string& queue, int job_id,
                                 const std::function<void(const std::string&)>& changed = {},
                                 const std::atomic<bool>* cancel = nullptr);

}  // namespace lumigrid
