#include "print/cups_printing.h"

#include <cups/cups.h>
#include <cups/pwg.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "base/temporary_files.h"
#include "base/utf.h"
#include "export/image_export.h"

namespace lumigrid {

namespace {

constexpr int kConnectMilliseconds = 30000;
// Hundredths of a millimetre between a paper's name and its size in the server's database.
constexpr int kSameSheet = 100;
constexpr std::size_t kChunkBytes = 64 << 10;
// The part of the progress that making the PDF takes; sending it takes the rest.
constexpr double kMakingShare = 0.9;
constexpr const char* kTemporaryPrefix = "lumigrid-print-";
constexpr double kPointsPerHundredth = 72.0 / 2540.0;

struct HttpCloser {
  void operator()(http_t* http) const { httpClose(http); }
};
using Http = std::unique_ptr<http_t, HttpCloser>;

struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

std::string where(const std::string& queue) {
  return queue.empty() ? "Unable to print the page: "
                       : "Unable to print the page on " + queue + ": ";
}

std::string server_name(const PrintServer& server) {
  if (!server.host.empty() && server.host.front() == '/') return server.host;
  return server.host + ":" + std::to_string(server.port);
}

std::string last_reason() {
  const char* text = cupsLastErrorString();
  return text != nullptr && *text != '\0' ? text : ippErrorString(cupsLastError());
}

// Why a local socket takes no connection, in the system's words (CUPS says "Host is down" for
// a missing socket and a stopped server alike); nothing for a host name.
std::optional<std::string> socket_reason(const std::string& host) {
  sockaddr_un address{};
  if (host.empty() || host.front() != '/' || host.size() >= sizeof address.sun_path) {
    return std::nullopt;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, host.c_str(), host.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  const int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int error = errno;
  ::close(fd);
  if (result == 0) return std::nullopt;
  return std::generic_category().message(error);
}

// A connection to the server, or the reason there is none.
Http connect(const PrintServer& server, std::string* reason) {
  http_t* http = httpConnect2(server.host.c_str(), server.port, nullptr, AF_UNSPEC,
                              cupsEncryption(), 1, kConnectMilliseconds, nullptr);
  if (http == nullptr) {
    *reason = "no print server answers at " + server_name(server) + " (" +
              socket_reason(server.host).value_or(last_reason()) + ")";
  }
  return Http(http);
}

Http connect_or_throw(const PrintServer& server, const std::string& queue) {
  std::string reason;
  Http http = connect(server, &reason);
  if (!http) throw Error(where(queue) + reason);
  return http;
}

std::string printer_uri(const std::string& queue) {
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                   "/printers/%s", queue.c_str());
  return uri;
}

Ipp new_request(ipp_op_t operation, const std::string& queue) {
  Ipp request(ippNewRequest(operation));
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               printer_uri(queue).c_str());
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  return request;
}

// The server's answer failed: its status message, in CUPS's words.
bool failed(ipp_t* response) {
  return response == nullptr || ippGetStatusCode(response) > IPP_STATUS_OK_CONFLICTING;
}

int integer(ipp_t* collection, const char* name, int otherwise = 0) {
  ipp_attribute_t* attribute = ippFindAttribute(collection, name, IPP_TAG_INTEGER);
  return attribute != nullptr ? ippGetInteger(attribute, 0) : otherwise;
}

void read_margins(ipp_t* collection, PrintMedia& media) {
  media.left = integer(collection, "media-left-margin");
  media.right = integer(collection, "media-right-margin");
  media.top = integer(collection, "media-top-margin");
  media.bottom = integer(collection, "media-bottom-margin");
}

// A media-col's size and margins; nothing for a range of sizes (custom ones).
std::optional<PrintMedia> media_from_collection(ipp_t* collection) {
  ipp_attribute_t* size_attribute =
      ippFindAttribute(collection, "media-size", IPP_TAG_BEGIN_COLLECTION);
  if (size_attribute == nullptr) return std::nullopt;
  ipp_t* size = ippGetCollection(size_attribute, 0);
  ipp_attribute_t* x = ippFindAttribute(size, "x-dimension", IPP_TAG_INTEGER);
  ipp_attribute_t* y = ippFindAttribute(size, "y-dimension", IPP_TAG_INTEGER);
  if (x == nullptr || y == nullptr) return std::nullopt;
  PrintMedia media;
  media.width = ippGetInteger(x, 0);
  media.length = ippGetInteger(y, 0);
  read_margins(collection, media);
  return media;
}

std::int32_t smallest(ipp_t* response, const char* name) {
  ipp_attribute_t* attribute = ippFindAttribute(response, name, IPP_TAG_INTEGER);
  if (attribute == nullptr) return 0;
  int least = ippGetInteger(attribute, 0);
  for (int i = 1; i < ippGetCount(attribute); ++i)
    least = std::min(least, ippGetInteger(attribute, i));
  return std::max(0, least);
}

PrintQueue queue_from(ipp_t* response, const std::string& name) {
  PrintQueue queue;
  queue.name = name;
  if (ipp_attribute_t* a =
          ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN)) {
    queue.accepting_jobs = ippGetBoolean(a, 0) != 0;
  }
  if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM)) {
    queue.paused = ippGetInteger(a, 0) == IPP_PSTATE_STOPPED;
  }
  if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT)) {
    if (const char* text = ippGetString(a, 0, nullptr)) queue.state_message = text;
  }

  // The sizes the server lists with their margins.
  std::vector<PrintMedia> database;
  if (ipp_attribute_t* a =
          ippFindAttribute(response, "media-col-database", IPP_TAG_BEGIN_COLLECTION)) {
    for (int i = 0; i < ippGetCount(a); ++i) {
      if (auto media = media_from_collection(ippGetCollection(a, i))) database.push_back(*media);
    }
  }
  queue.custom_margins.left = smallest(response, "media-left-margin-supported");
  queue.custom_margins.right = smallest(response, "media-right-margin-supported");
  queue.custom_margins.top = smallest(response, "media-top-margin-supported");
  queue.custom_margins.bottom = smallest(response, "media-bottom-margin-supported");
  // A listed name's sheet as the server describes it: the nearest size of its database within a
  // millimetre (the name's nominal size may be rounded there), with that size's margins.
  const auto with_margins = [&](PrintMedia media) {
    const PrintMedia* nearest = nullptr;
    int nearest_distance = kSameSheet + 1;
    for (const PrintMedia& listed : database) {
      const int distance =
          std::max(std::abs(listed.width - media.width), std::abs(listed.length - media.length));
      if (distance < nearest_distance) {
        nearest = &listed;
        nearest_distance = distance;
      }
    }
    const PrintMedia& margins = nearest != nullptr ? *nearest : queue.custom_margins;
    if (nearest != nullptr) {
      media.width = nearest->width;
      media.length = nearest->length;
    }
    media.left = margins.left;
    media.right = margins.right;
    media.top = margins.top;
    media.bottom = margins.bottom;
    return media;
  };

  if (ipp_attribute_t* a = ippFindAttribute(response, "media-supported", IPP_TAG_ZERO)) {
    for (int i = 0; i < ippGetCount(a); ++i) {
      const char* keyword = ippGetString(a, i, nullptr);
      const pwg_media_t* pwg = keyword != nullptr ? pwgMediaForPWG(keyword) : nullptr;
      if (pwg == nullptr) continue;
      PrintMedia media;
      media.keyword = keyword;
      media.width = pwg->width;
      media.length = pwg->length;
      const std::string_view listed(keyword);
      if (listed.starts_with("custom_min_")) {
        queue.custom_min = media;
      } else if (listed.starts_with("custom_max_")) {
        queue.custom_max = media;
      } else {
        queue.media.push_back(with_margins(media));
      }
    }
  }
  if (ipp_attribute_t* a = ippFindAttribute(response, "media-default", IPP_TAG_ZERO)) {
    const char* keyword = ippGetString(a, 0, nullptr);
    const auto listed = std::find_if(
        queue.media.begin(), queue.media.end(),
        [&](const PrintMedia& m) { return keyword != nullptr && m.keyword == keyword; });
    if (listed != queue.media.end()) {
      queue.default_media = *listed;
    } else if (const pwg_media_t* pwg = keyword != nullptr ? pwgMediaForPWG(keyword) : nullptr) {
      PrintMedia media;
      media.keyword = keyword;
      media.width = pwg->width;
      media.length = pwg->length;
      queue.default_media = with_margins(media);
    }
  }

  if (ipp_attribute_t* a =
          ippFindAttribute(response, "printer-resolution-supported", IPP_TAG_RESOLUTION)) {
    for (int i = 0; i < ippGetCount(a); ++i) {
      int y = 0;
      ipp_res_t units = IPP_RES_PER_INCH;
      const int x = ippGetResolution(a, i, &y, &units);
      if (x != y) continue;
      const auto dpi = units == IPP_RES_PER_INCH ? x : std::int32_t(std::lround(x * 2.54));
      if (std::find(queue.resolutions_dpi.begin(), queue.resolutions_dpi.end(), dpi) ==
          queue.resolutions_dpi.end()) {
        queue.resolutions_dpi.push_back(dpi);
      }
    }
  }
  return queue;
}

// The job's PDF in the system's temporary folder, removed when it goes out of scope (and by
// SIGINT or SIGTERM while it exists).
class JobFile {
 public:
  JobFile() {
    static std::atomic<unsigned long long> counter{0};
    const auto folder = std::filesystem::temp_directory_path();
    remove_stale_temporaries(folder, kTemporaryPrefix);
    path_ = folder / temporary_name(kTemporaryPrefix, counter++);
    live_.emplace(path_);
  }
  ~JobFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  JobFile(const JobFile&) = delete;
  JobFile& operator=(const JobFile&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::optional<LiveTemporary> live_;
};

PdfSheet sheet_of(const SheetLayout& layout) {
  PdfSheet sheet;
  sheet.width_points = layout.sheet_width * kPointsPerHundredth;
  sheet.height_points = layout.sheet_height * kPointsPerHundredth;
  sheet.left = layout.left;
  sheet.top = layout.top;
  sheet.source_width = layout.width;
  sheet.source_height = layout.height;
  // A page turned on its paper goes as a sheet of the paper's own orientation, the page turned
  // on it as the layout's margins have it: a queue's filters turn a landscape sheet whichever
  // way they like, which would put the page's edge in the printer's unprintable margin.
  sheet.quarter_turn = layout.turned;
  return sheet;
}

bool is_set(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load();
}

}  // namespace

PrintServer default_print_server() {
  return {cupsServer(), ippPort()};
}

std::optional<std::string> print_server_problem(const PrintServer& server) {
  std::string reason;
  if (connect(server, &reason)) return std::nullopt;
  return reason;
}

std::string default_print_queue(const PrintServer& server) {
  Http http = connect_or_throw(server, {});
  Ipp request(ippNewRequest(IPP_OP_CUPS_GET_DEFAULT));
  static const char* const kWanted[] = {"printer-name"};
  ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 1,
                nullptr, kWanted);
  Ipp response(cupsDoRequest(http.get(), request.release(), "/"));
  ipp_attribute_t* name =
      response ? ippFindAttribute(response.get(), "printer-name", IPP_TAG_NAME) : nullptr;
  if (failed(response.get()) || name == nullptr) {
    throw Error(where({}) + "no default printer is set (" + last_reason() + ")");
  }
  return ippGetString(name, 0, nullptr);
}

PrintQueue query_print_queue(const PrintServer& server, const std::string& queue) {
  Http http = connect_or_throw(server, queue);
  Ipp request = new_request(IPP_OP_GET_PRINTER_ATTRIBUTES, queue);
  static const char* const kWanted[] = {"printer-is-accepting-jobs",
                                        "printer-state",
                                        "printer-state-message",
                                        "media-supported",
                                        "media-default",
                                        "media-col-database",
                                        "media-left-margin-supported",
                                        "media-right-margin-supported",
                                        "media-top-margin-supported",
                                        "media-bottom-margin-supported",
                                        "printer-resolution-supported"};
  ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                int(std::size(kWanted)), nullptr, kWanted);
  Ipp response(cupsDoRequest(http.get(), request.release(), "/"));
  if (failed(response.get())) throw Error(where(queue) + last_reason());
  return queue_from(response.get(), queue);
}

int send_page_job(const PrintServer& server, const RowSource& page, const PrintPlan& plan,
                  const PrintJobRequest& job, const ProgressCallback& progress,
                  const std::atomic<bool>* cancel) {
  if (plan.layout.width < 1 || plan.layout.height < 1) {
    throw Error(where(job.queue) + "its " + paper_name(plan.choice.media) +
                " paper has no printable area");
  }
  const auto report = [&](double fraction) {
    if (is_set(cancel)) throw PrintCancelled(job.queue);
    if (progress) progress(fraction);
  };

  // The document first, so that a job exists only once there is something to print.
  JobFile file;
  const ProgressCallback making = [&](double fraction) { report(fraction * kMakingShare); };
  try {
    if (plan.layout.page_is_sheet) {
      save_image_as(page, file.path(), ImageEncoding::Pdf, making);
    } else {
      save_pdf_sheet(page, file.path(), sheet_of(plan.layout), making);
    }
  } catch (const PrintCancelled&) {
    throw;
  } catch (const Error& e) {
    throw Error(where(job.queue) + e.what());
  }
  std::error_code size_error;
  const auto length = std::filesystem::file_size(file.path(), size_error);
  if (size_error) throw Error(where(job.queue) + size_error.message());
  const int fd = ::open(file.path().c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw Error(where(job.queue) + std::generic_category().message(errno));
  const std::unique_ptr<int, void (*)(int*)> closer(new int(fd), [](int* f) {
    ::close(*f);
    delete f;
  });

  Http http = connect_or_throw(server, job.queue);
  Ipp request = new_request(IPP_OP_PRINT_JOB, job.queue);
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr,
               job.job_name.c_str());
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
               "application/pdf");
  ippAddString(request.get(), IPP_TAG_JOB, IPP_TAG_KEYWORD, "media", nullptr,
               plan.choice.media.keyword.c_str());
  // The page is already at its true size on the sheet: nothing may scale it.
  ippAddString(request.get(), IPP_TAG_JOB, IPP_TAG_KEYWORD, "print-scaling", nullptr, "none");
  if (job.ask_600_dpi) {
    ippAddResolution(request.get(), IPP_TAG_JOB, "printer-resolution", IPP_RES_PER_INCH, 600, 600);
  }
  if (job.copies > 1) {
    ippAddInteger(request.get(), IPP_TAG_JOB, IPP_TAG_INTEGER, "copies", job.copies);
  }

  const std::string resource = "/printers/" + job.queue;
  // An unfinished request makes no job: leaving now, the connection closed, leaves nothing.
  // The length is the request's and the document's together.
  http_status_t status = cupsSendRequest(http.get(), request.get(), resource.c_str(),
                                         ippLength(request.get()) + length);
  std::vector<char> chunk(kChunkBytes);
  std::uintmax_t sent = 0;
  while (status == HTTP_STATUS_CONTINUE && sent < length) {
    if (is_set(cancel)) throw PrintCancelled(job.queue);
    const ssize_t got = ::read(fd, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      throw Error(where(job.queue) + (got < 0 ? std::generic_category().message(errno)
                                              : "the job's file ended early"));
    }
    status = cupsWriteRequestData(http.get(), chunk.data(), std::size_t(got));
    sent += std::uintmax_t(got);
    if (progress) progress(kMakingShare + (1 - kMakingShare) * double(sent) / double(length));
  }
  if (status != HTTP_STATUS_CONTINUE && status != HTTP_STATUS_OK) {
    throw Error(where(job.queue) + last_reason());
  }
  // Everything is sent: the server makes the job whatever happens now.
  Ipp response(cupsGetResponse(http.get(), resource.c_str()));
  if (failed(response.get())) throw Error(where(job.queue) + last_reason());
  ipp_attribute_t* id_attribute = ippFindAttribute(response.get(), "job-id", IPP_TAG_INTEGER);
  if (id_attribute == nullptr) throw Error(where(job.queue) + "the server gave the job no id");
  const int id = ippGetInteger(id_attribute, 0);
  if (is_set(cancel)) {
    // Cancelled too late to keep it from the server: the job is cancelled and purged there.
    Ipp cancel_request = new_request(IPP_OP_CANCEL_JOB, job.queue);
    ippAddInteger(cancel_request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", id);
    ippAddBoolean(cancel_request.get(), IPP_TAG_OPERATION, "purge-job", 1);
    Ipp cancelled(cupsDoRequest(http.get(), cancel_request.release(), resource.c_str()));
    if (failed(cancelled.get())) {
      throw Error(where(job.queue) + "job " + std::to_string(id) +
                  " could not be cancelled: " + last_reason());
    }
    throw PrintCancelled(job.queue);
  }
  return id;
}

PreparedPageJob prepare_page_job(const PrintServer& server, const std::string& queue,
                                 std::string_view area_text_utf8, std::int32_t page_width,
                                 std::int32_t page_height,
                                 const std::optional<WantedPaper>& chosen) {
  PreparedPageJob job;
  job.queue = query_print_queue(server, queue);
  if (const auto refusal = queue_refusal(job.queue)) throw Error(*refusal);
  // The toolkit's print dialog always starts from the queue's default paper, so the page's
  // own paper stands before whatever the dialog returned.
  const auto own_paper = page_paper(utf16_from_utf8(area_text_utf8));
  job.plan =
      plan_print(job.queue, page_width, page_height, own_paper, own_paper ? own_paper : chosen);
  job.warnings = print_warnings(job.queue, job.plan);
  job.request.queue = queue;
  job.request.job_name = print_job_name(area_text_utf8, page_width, page_height);
  job.request.ask_600_dpi = offers_600_dpi(job.queue);
  return job;
}

std::string job_sent_message(const std::string& queue, int job_id) {
  return "Sent to " + queue + " as job " + std::to_string(job_id);
}

}  // namespace lumigrid
