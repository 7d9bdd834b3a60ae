#include "print/cups_printing.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <stop_token>
#include <system_error>
#include <thread>
#include <vector>

#include "base/temporary_files.h"
#include "base/utf.h"
#include "export/colour_profile.h"
#include "export/image_export.h"
#include "print/ipp_answer.h"
#include "print/server_text.h"

namespace lumigrid {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::size_t kChunkBytes = 64 << 10;
// The part of the progress that making the PDF takes; sending it takes the rest.
constexpr double kMakingShare = 0.9;
// The job's private folder: the system's temporary folder + this + six random characters.
constexpr const char* kJobFolderPattern = "lumigrid-print-XXXXXX";
constexpr double kPointsPerHundredth = 72.0 / 2540.0;
// How often the watchdog looks at the cancel flag and the deadline.
constexpr milliseconds kWatchInterval{50};
// How long a wait inside libcups lasts before it asks whether the watchdog ended the exchange.
constexpr double kWaitSeconds = 0.05;
// One attempt to connect: a cancel is seen between attempts.
constexpr milliseconds kConnectSlice{100};
// How long a probe for the reason of a failed connection waits for its answer.
constexpr milliseconds kProbeWait{50};
// How often a followed job is asked for its state.
constexpr milliseconds kFollowInterval{500};
// A Get-Job-Attributes answer's job-state: the states IPP has.
constexpr int kFirstJobState = IPP_JSTATE_PENDING;
constexpr int kLastJobState = IPP_JSTATE_COMPLETED;
// libcups's status enumeration holds any value up to this one.
constexpr int kHighestKnownStatus = 0x1FFF;

struct HttpCloser {
  void operator()(http_t* http) const { httpClose(http); }
};
using Http = std::unique_ptr<http_t, HttpCloser>;

std::string where(const std::string& queue) {
  return queue.empty() ? "Unable to print the page: "
                       : "Unable to print the page on " + queue + ": ";
}

std::string server_name(const PrintServer& server) {
  if (!server.host.empty() && server.host.front() == '/') return server.host;
  return server.host + ":" + std::to_string(server.port);
}

// "30 s", "0.5 s".
std::string seconds_text(milliseconds limit) {
  if (limit.count() % 1000 == 0) return std::to_string(limit.count() / 1000) + " s";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", double(limit.count()) / 1000.0);
  return text;
}

// "16 MiB".
std::string bytes_text(std::size_t bytes) {
  if (bytes % (std::size_t{1} << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  return std::to_string(bytes) + " bytes";
}

bool is_set(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load();
}

// Ends an exchange that outlives its limit or a cancel. libcups looks at its wait callback only
// after a pause without data and reads every header line in one call, so a server that keeps
// sending lines would hold an exchange without end: this thread looks at the cancel flag and the
// deadline every kWatchInterval and, once the exchange is over, shuts the connection down, which
// ends whatever libcups is waiting for. Why it fired stays, for the message.
class Watchdog {
 public:
  enum class End { None, Cancelled, TimedOut, Unconfirmed };

  Watchdog(const std::atomic<bool>* cancel, milliseconds purge)
      : cancel_(cancel),
        purge_(purge),
        thread_([this](const std::stop_token& stop) { run(stop); }) {}
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // The connection to shut down; -1 while there is none. One that comes after the end is shut
  // down at once.
  void watch(int fd) {
    const std::scoped_lock lock(fd_mutex_);
    fd_ = fd;
    if (fd >= 0 && fired_ != End::None) ::shutdown(fd, SHUT_RDWR);
  }

  // A new limit counts from now. Once the whole document is sent the server makes the job
  // whatever happens: a cancel then waits, briefly, for the job's id so that the job can be
  // purged.
  void arm(milliseconds limit, bool document_sent) {
    document_sent_ = document_sent;
    deadline_ = Clock::now() + limit;
    cancel_seen_ = false;
  }

  // Looks now, as the thread does: the exchange's end, or End::None while it goes on.
  End check() {
    if (fired_ != End::None) return fired_;
    const auto now = Clock::now();
    if (is_set(cancel_)) {
      if (!document_sent_) return fire(End::Cancelled);
      if (!cancel_seen_.exchange(true)) {
        const auto purge_end = now + purge_;
        auto deadline = deadline_.load();
        while (purge_end < deadline && !deadline_.compare_exchange_weak(deadline, purge_end)) {
        }
      }
    }
    if (now >= deadline_.load()) return fire(cancel_seen_ ? End::Unconfirmed : End::TimedOut);
    return End::None;
  }

  End fired() const { return fired_; }
  bool cancelSeen() const { return cancel_seen_ || is_set(cancel_); }

 private:
  End fire(End end) {
    End none = End::None;
    if (fired_.compare_exchange_strong(none, end)) {
      // Under the lock: a connection given up for a new one is never shut down once closed.
      const std::scoped_lock lock(fd_mutex_);
      if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
    }
    return fired_;
  }

  void run(const std::stop_token& stop) {
    std::mutex mutex;
    std::condition_variable_any tick;
    std::unique_lock lock(mutex);
    while (!tick.wait_for(lock, stop, kWatchInterval, [] { return false; }) &&
           !stop.stop_requested()) {
      check();
    }
  }

  const std::atomic<bool>* cancel_;
  milliseconds purge_;
  std::atomic<Clock::time_point> deadline_{Clock::time_point::max()};
  std::atomic<bool> document_sent_{false};
  std::atomic<bool> cancel_seen_{false};
  std::atomic<End> fired_{End::None};
  std::mutex fd_mutex_;
  int fd_ = -1;
  std::jthread thread_;  // stopped and joined first when the watchdog goes
};

// A wait inside libcups goes on until the watchdog ends the exchange.
int keep_waiting(http_t* /*http*/, void* data) {
  return static_cast<const Watchdog*>(data)->fired() == Watchdog::End::None ? 1 : 0;
}

// The password libcups asks for when a server wants one: none. Its own question goes to the
// terminal and waits there without limit, beyond any cancel and the answer's limit; the
// credentials libcups finds by itself (the local scheme, the peer's credentials) still answer.
const char* no_password(const char* /*prompt*/, http_t* /*http*/, const char* /*method*/,
                        const char* /*resource*/, void* /*data*/) {
  return nullptr;
}

// Why a local socket takes no connection, in the system's words (libcups says "Host is down"
// for a missing socket, a stopped server and a refused connection alike).
std::optional<std::string> socket_refusal(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return std::nullopt;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return std::nullopt;
  const int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int error = errno;
  ::close(fd);
  if (result == 0 || error == EINPROGRESS || error == EAGAIN) return std::nullopt;
  return std::generic_category().message(error);
}

// Why a host's port takes no connection, in the system's words ("Connection refused"), or
// nothing when it takes one or may still.
std::optional<std::string> host_refusal(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* list = nullptr;
  const int found = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
  if (found == EAI_AGAIN) return std::nullopt;
  if (found != 0) return std::string(::gai_strerror(found));
  std::optional<std::string> refusal;
  bool may_connect = false;
  for (const addrinfo* a = list; a != nullptr && !may_connect; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) continue;
    int error = 0;
    if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) error = errno;
    if (error == EINPROGRESS) {
      pollfd waiting{fd, POLLOUT, 0};
      if (::poll(&waiting, 1, int(kProbeWait.count())) <= 0) {
        error = 0;  // still trying: it may yet connect
      } else {
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
      }
    }
    ::close(fd);
    if (error == 0) {
      may_connect = true;
    } else if (!refusal) {
      refusal = std::generic_category().message(error);
    }
  }
  ::freeaddrinfo(list);
  if (may_connect) return std::nullopt;
  return refusal;
}

std::optional<std::string> connection_refusal(const PrintServer& server) {
  if (!server.host.empty() && server.host.front() == '/') return socket_refusal(server.host);
  return host_refusal(server.host, server.port);
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

ssize_t append_to_string(void* context, ipp_uchar_t* buffer, std::size_t bytes) {
  static_cast<std::string*>(context)->append(reinterpret_cast<const char*>(buffer), bytes);
  return static_cast<ssize_t>(bytes);
}

std::string request_bytes(ipp_t* request) {
  std::string bytes;
  ippSetState(request, IPP_STATE_IDLE);
  if (ippWriteIO(&bytes, append_to_string, 1, nullptr, request) != IPP_STATE_DATA) {
    throw Error("the request could not be written");
  }
  return bytes;
}

// The answer's status as the number it carries: libcups keeps the two bytes in an enumeration
// without checking them, so they are copied out, never loaded as the enumeration.
int status_code(ipp_t* answer) {
  const ipp_status_t status = ippGetStatusCode(answer);
  static_assert(sizeof status == sizeof(int));
  int code = 0;
  std::memcpy(&code, &status, sizeof code);
  return code;
}

std::string status_name(int code) {
  if (code >= 0 && code <= kHighestKnownStatus)
    return ippErrorString(static_cast<ipp_status_t>(code));
  char text[32];
  std::snprintf(text, sizeof text, "status 0x%04x", unsigned(code) & 0xFFFFu);
  return text;
}

// The server's own words for an answer's status: its status message cleaned and quoted, else the
// status's name.
std::string status_reason(ipp_t* answer) {
  if (ipp_attribute_t* a = ippFindAttribute(answer, "status-message", IPP_TAG_TEXT)) {
    if (const char* text = ippGetString(a, 0, nullptr)) {
      std::string says = server_says(text);
      if (!says.empty()) return says;
    }
  }
  return status_name(status_code(answer));
}

// The document of a Print-Job: a file read from its start each time it is sent.
struct Document {
  int fd = -1;
  std::uint64_t length = 0;
  std::function<void(std::uint64_t)> sent;  // the bytes sent so far
};

// One connection to the print server and the requests asked on it, each within its limits.
class Link {
 public:
  // Connects within limits.connect. `queue` names the queue in the messages; `bare` leaves out
  // "Unable to print the page" (print_server_problem).
  Link(const PrintServer& server, std::string queue, const std::atomic<bool>* cancel,
       bool bare = false)
      : server_(server),
        queue_(std::move(queue)),
        bare_(bare),
        watchdog_(cancel, server.limits.purge) {
    // libcups keeps the password callback per thread: this thread's exchanges ask nobody.
    cupsSetPasswordCB2(no_password, nullptr);
    const auto deadline = Clock::now() + server.limits.connect;
    for (;;) {
      if (is_set(cancel)) throw PrintCancelled(queue_);
      const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        fail("the print server at " + server_name(server) + " did not take a connection within " +
             seconds_text(server.limits.connect));
      }
      const auto slice = std::min(left, kConnectSlice);
      http_.reset(httpConnect2(server.host.c_str(), server.port, nullptr, AF_UNSPEC,
                               cupsEncryption(), 1, int(slice.count()), nullptr));
      if (http_) break;
      if (const auto refusal = connection_refusal(server)) {
        fail("no print server answers at " + server_name(server) + " (" + *refusal + ")");
      }
    }
    watchdog_.watch(httpGetFd(http_.get()));
    httpSetTimeout(http_.get(), kWaitSeconds, keep_waiting, &watchdog_);
  }
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // Sends the request (and the document) and returns the server's answer, whatever its IPP
  // status. Throws PrintCancelled or lumigrid::Error.
  Ipp ask(ipp_t* request, const std::string& resource, const Document* document = nullptr) {
    const std::string head = request_bytes(request);
    const std::uint64_t document_length = document != nullptr ? document->length : 0;
    for (int attempt = 0;; ++attempt) {
      document_sent_ = false;
      arm(server_.limits.answer);
      httpClearFields(http_.get());
      httpSetField(http_.get(), HTTP_FIELD_CONTENT_TYPE, "application/ipp");
      httpSetLength(http_.get(), head.size() + document_length);
      if (httpPost(http_.get(), resource.c_str()) != 0) sendingFailed(0, document_length);
      write(head.data(), head.size(), 0, document_length);
      if (document != nullptr) sendDocument(*document);
      // Everything is sent: a job is made whatever happens now.
      document_sent_ = document != nullptr;
      arm(server_.limits.answer);
      const http_status_t status = answerStatus();
      if (status == HTTP_STATUS_UNAUTHORIZED && attempt == 0 &&
          cupsDoAuthentication(http_.get(), "POST", resource.c_str()) == 0) {
        // The server wants to know who asks: the request again, with the credentials libcups
        // found, on a new connection (the server may close this one).
        watchdog_.watch(-1);
        if (httpReconnect2(http_.get(), int(server_.limits.connect.count()), nullptr) != 0) {
          fail("no print server answers at " + server_name(server_) + " (" +
               std::generic_category().message(httpError(http_.get())) + ")");
        }
        watchdog_.watch(httpGetFd(http_.get()));
        continue;
      }
      if (status == HTTP_STATUS_REQUEST_TOO_LARGE) {
        fail("the print server at " + server_name(server_) + " refused the document as too large" +
             (document_length > 0 ? " (" + std::to_string(document_length) + " bytes)" : ""));
      }
      if (status != HTTP_STATUS_OK) {
        fail("the print server at " + server_name(server_) + " answered HTTP " +
             std::to_string(int(status)) + " (" + httpStatus(status) + ")");
      }
      return readAnswer();
    }
  }

  // The message a failure throws, with "Unable to print the page on Q: " before it.
  [[noreturn]] void fail(const std::string& reason) const {
    if (bare_) throw Error(reason);
    throw Error(where(queue_) + reason);
  }

  bool cancelSeen() const { return watchdog_.cancelSeen(); }

 private:
  void arm(milliseconds limit) { watchdog_.arm(limit, document_sent_); }

  void write(const char* data, std::size_t size, std::uint64_t sent_before,
             std::uint64_t document_length) {
    while (size > 0) {
      const ssize_t wrote = httpWrite2(http_.get(), data, size);
      if (wrote <= 0) sendingFailed(sent_before, document_length);
      data += wrote;
      size -= std::size_t(wrote);
    }
  }

  void sendDocument(const Document& document) {
    if (::lseek(document.fd, 0, SEEK_SET) != 0) {
      fail("the job's file cannot be read (" + std::generic_category().message(errno) + ")");
    }
    std::vector<char> chunk(kChunkBytes);
    std::uint64_t sent = 0;
    while (sent < document.length) {
      if (watchdog_.check() == Watchdog::End::Cancelled) throw PrintCancelled(queue_);
      const ssize_t got = ::read(document.fd, chunk.data(), chunk.size());
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        fail(got < 0
                 ? "the job's file cannot be read (" + std::generic_category().message(errno) + ")"
                 : std::string("the job's file ended early"));
      }
      const std::size_t count =
          std::size_t(std::min<std::uint64_t>(std::uint64_t(got), document.length - sent));
      // The limit counts from the last part the server took: a slow link is not a silent one.
      arm(server_.limits.answer);
      write(chunk.data(), count, sent, document.length);
      sent += count;
      if (document.sent) document.sent(sent);
    }
    if (httpFlushWrite(http_.get()) < 0) sendingFailed(sent, document.length);
  }

  // The request or its document could not be written: the operator cancelled, the server took
  // nothing within its limit, or it closed the connection, maybe saying why first.
  [[noreturn]] void sendingFailed(std::uint64_t document_sent, std::uint64_t document_length) {
    const Watchdog::End end = watchdog_.fired();
    if (end == Watchdog::End::Cancelled) throw PrintCancelled(queue_);
    const std::string at = "the print server at " + server_name(server_);
    if (end != Watchdog::End::None) {
      fail(at + " took nothing for " + seconds_text(server_.limits.answer) +
           " while the request was sent");
    }
    const int error = httpError(http_.get());
    // A server that refuses a document says so before it closes: read what it said.
    arm(std::min(server_.limits.answer, server_.limits.purge));
    const http_status_t status = httpUpdate(http_.get());
    if (status == HTTP_STATUS_REQUEST_TOO_LARGE) {
      fail(at + " refused the document as too large (" + std::to_string(document_length) +
           " bytes)");
    }
    if (status == HTTP_STATUS_OK) {
      try {
        Ipp answer = readAnswer();
        fail(at + " stopped taking the document: " + status_reason(answer.get()));
      } catch (const PrintCancelled&) {
        throw;
      } catch (const Error&) {
        // Nothing readable: the closed connection is all there is to tell.
      }
    }
    std::string what = at + " closed the connection";
    if (document_length > 0) {
      what += " after " + std::to_string(document_sent) + " of " + std::to_string(document_length) +
              " bytes of the document";
    }
    if (error != 0) what += " (" + std::generic_category().message(error) + ")";
    fail(what);
  }

  // The reason an exchange ended before its answer was read.
  [[noreturn]] void answerFailed(const std::string& what) {
    const Watchdog::End end = watchdog_.fired();
    if (end == Watchdog::End::Cancelled) throw PrintCancelled(queue_);
    const std::string at = "the print server at " + server_name(server_);
    const std::string maybe =
        document_sent_ ? "; it may still print the page, having the whole document" : "";
    if (end != Watchdog::End::None) {
      if (end == Watchdog::End::Unconfirmed) {
        fail("printing was cancelled, but " + at + " did not confirm the job within " +
             seconds_text(server_.limits.purge) + maybe);
      }
      fail(at + " did not answer within " + seconds_text(server_.limits.answer) + maybe);
    }
    fail(at + " " + what + maybe);
  }

  http_status_t answerStatus() {
    for (;;) {
      const http_status_t status = httpUpdate(http_.get());
      if (status == HTTP_STATUS_ERROR) {
        // libcups reports a connection closed before a whole status line as EPIPE.
        const int error = httpError(http_.get());
        answerFailed(error == EPIPE        ? "closed the connection without a valid answer"
                     : error == ECONNRESET ? "reset the connection without a valid answer"
                                           : "gave no valid answer");
      }
      if (status != HTTP_STATUS_CONTINUE) return status;
      // "100 Continue" lines, or no answer begun: the limit still counts.
      if (watchdog_.check() != Watchdog::End::None) answerFailed("gave no answer");
      if (httpGetState(http_.get()) == HTTP_STATE_WAITING) {
        answerFailed("gave no valid answer");
      }
    }
  }

  // The answer's body, read within the answer's limit into at most limits.answer_bytes, then
  // parsed from memory.
  Ipp readAnswer() {
    const std::size_t most = server_.limits.answer_bytes;
    const std::string at = "the print server at " + server_name(server_);
    const off_t announced = httpGetLength2(http_.get());
    // 2147483647: no length given, the answer runs to the connection's end.
    if (announced > 0 && announced != 2147483647 && std::uint64_t(announced) > most) {
      fail(at + " sent an answer of " + std::to_string(announced) + " bytes, more than the " +
           bytes_text(most) + " read from a print server");
    }
    std::vector<std::uint8_t> bytes;
    // An announced length within the limit is held at once, without the growing's copies.
    if (announced > 0 && announced != 2147483647) bytes.reserve(std::size_t(announced));
    std::vector<char> chunk(kChunkBytes);
    for (;;) {
      const ssize_t got = httpRead2(http_.get(), chunk.data(), chunk.size());
      if (got == 0) break;
      if (got < 0) answerFailed("ended its answer early");
      if (bytes.size() + std::size_t(got) > most) {
        fail(at + " sent an answer of more than the " + bytes_text(most) +
             " read from a print server");
      }
      bytes.insert(bytes.end(), chunk.data(), chunk.data() + got);
      if (watchdog_.check() != Watchdog::End::None) answerFailed("did not end its answer");
    }
    if (watchdog_.fired() != Watchdog::End::None) answerFailed("ended its answer early");
    Ipp answer = read_ipp_answer(bytes);
    if (!answer)
      answerFailed("sent an answer that is not IPP (" + std::to_string(bytes.size()) + " bytes)");
    return answer;
  }

  const PrintServer& server_;
  std::string queue_;
  bool bare_ = false;
  bool document_sent_ = false;
  Http http_;
  // Declared after the connection: it stops before the connection closes.
  Watchdog watchdog_;
};

// The server's answer failed: its status is not a success.
bool failed(ipp_t* answer) {
  return status_code(answer) > int(IPP_STATUS_OK_CONFLICTING) || status_code(answer) < 0;
}

// The job's PDF in a folder of this process's own (made by mkdtemp, so 0700 and new), where no
// other user can put a link or read the page; the folder and the file removed when it goes out
// of scope, and by SIGINT or SIGTERM while they exist.
class JobFile {
 public:
  explicit JobFile(const std::string& queue) {
    std::string folder = (std::filesystem::temp_directory_path() / kJobFolderPattern).string();
    if (::mkdtemp(folder.data()) == nullptr) {
      throw Error(where(queue) + "no private folder for the job's file can be made in " +
                  std::filesystem::temp_directory_path().string() + " (" +
                  std::generic_category().message(errno) + ")");
    }
    folder_ = folder;
    live_folder_.emplace(folder_);
    path_ = folder_ / "job.pdf";
    live_.emplace(path_);
  }
  ~JobFile() {
    live_.reset();
    live_folder_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  JobFile(const JobFile&) = delete;
  JobFile& operator=(const JobFile&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path folder_;
  std::filesystem::path path_;
  std::optional<LiveTemporary> live_folder_;
  std::optional<LiveTemporary> live_;
};

class FileCloser {
 public:
  explicit FileCloser(int fd) : fd_(fd) {}
  ~FileCloser() { ::close(fd_); }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  int fd_;
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

// Cancels and purges a job the server made, within the purge limit, whatever the cancel flag.
void purge_job(const PrintServer& server, const std::string& queue, int id) {
  // Connecting and the answer together, not each, within the purge limit.
  const auto until = Clock::now() + server.limits.purge;
  PrintServer brief = server;
  brief.limits.connect = std::min(server.limits.connect, server.limits.purge);
  try {
    Link link(brief, queue, nullptr, true);
    // The link reads its server's limits as it asks: the answer has what connecting left.
    brief.limits.answer =
        std::max(milliseconds(1), std::chrono::duration_cast<milliseconds>(until - Clock::now()));
    Ipp request = new_request(IPP_OP_CANCEL_JOB, queue);
    ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", id);
    ippAddBoolean(request.get(), IPP_TAG_OPERATION, "purge-job", 1);
    Ipp answer = link.ask(request.get(), "/jobs/");
    if (failed(answer.get())) link.fail(status_reason(answer.get()));
  } catch (const Error& e) {
    throw Error(where(queue) + "job " + std::to_string(id) +
                " could not be cancelled: " + e.what());
  }
}

// Sleeps `span`, ending early (true) once the cancel flag is set.
bool cancelled_while_waiting(milliseconds span, const std::atomic<bool>* cancel) {
  const auto until = Clock::now() + span;
  while (Clock::now() < until) {
    if (is_set(cancel)) return true;
    std::this_thread::sleep_for(std::min(milliseconds(50), span));
  }
  return is_set(cancel);
}

// A name a print queue can have: printable UTF-8 without a space, a tab, "/", "\\", "?", "'",
// "\"" or "#", at most 127 bytes.
bool is_queue_name(std::string_view name) {
  if (name.empty() || name.size() > 127 || clean_server_text(name, name.size()) != name) {
    return false;
  }
  return name.find_first_of(" \t/\\?'\"#") == std::string_view::npos;
}

const char* job_state_word(int state) {
  switch (state) {
    case IPP_JSTATE_PENDING:
      return "pending";
    case IPP_JSTATE_HELD:
      return "held";
    case IPP_JSTATE_PROCESSING:
      return "processing";
    case IPP_JSTATE_STOPPED:
      return "stopped";
    case IPP_JSTATE_CANCELED:
      return "canceled";
    case IPP_JSTATE_ABORTED:
      return "aborted";
    default:
      return "completed";
  }
}

}  // namespace

PrintServer default_print_server() {
  PrintServer server;
  server.host = cupsServer();
  server.port = ippPort();
  return server;
}

std::optional<std::string> print_server_problem(const PrintServer& server,
                                                const std::atomic<bool>* cancel) {
  try {
    // One real question: a server that takes connections and never answers has a problem.
    Link link(server, {}, cancel, true);
    Ipp request(ippNewRequest(IPP_OP_CUPS_GET_DEFAULT));
    link.ask(request.get(), "/");
    return std::nullopt;
  } catch (const PrintCancelled&) {
    throw;
  } catch (const Error& e) {
    return std::string(e.what());
  }
}

std::string default_print_queue(const PrintServer& server, const std::atomic<bool>* cancel) {
  Link link(server, {}, cancel);
  Ipp request(ippNewRequest(IPP_OP_CUPS_GET_DEFAULT));
  static const char* const kWanted[] = {"printer-name"};
  ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 1,
                nullptr, kWanted);
  Ipp answer = link.ask(request.get(), "/");
  if (failed(answer.get())) {
    link.fail("no default printer is set (" + status_reason(answer.get()) + ")");
  }
  ipp_attribute_t* name = ippFindAttribute(answer.get(), "printer-name", IPP_TAG_NAME);
  const char* text = name != nullptr ? ippGetString(name, 0, nullptr) : nullptr;
  if (text == nullptr || clean_server_text(text).empty()) {
    link.fail("the print server names no default printer");
  }
  // The name goes back to the server and into every message about the job: a name no queue can
  // have (one cleaning would change, or with a space, a slash, ...) is refused, never mended
  // into another queue's name or into words that read as the program's own.
  if (!is_queue_name(text)) {
    link.fail("the print server names no valid default printer (" + server_says(text) + ")");
  }
  return text;
}

PrintQueue query_print_queue(const PrintServer& server, const std::string& queue,
                             const std::atomic<bool>* cancel) {
  Link link(server, queue, cancel);
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
                                        "printer-resolution-supported",
                                        "print-color-mode-supported",
                                        "printer-make-and-model",
                                        "printer-type"};
  ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                int(std::size(kWanted)), nullptr, kWanted);
  Ipp answer = link.ask(request.get(), "/");
  if (failed(answer.get())) link.fail(status_reason(answer.get()));
  return queue_from(answer.get(), queue);
}

namespace {

// Sends the job's document, already in `file`, asking for `media`; returns the job's id.
int send_document(const PrintServer& server, const JobFile& file, const std::string& media,
                  const PrintJobRequest& job, const SheetJobColour* sheet,
                  const ProgressCallback& progress, const std::atomic<bool>* cancel) {
  const int fd = ::open(file.path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) throw Error(where(job.queue) + std::generic_category().message(errno));
  const FileCloser closer(fd);
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    throw Error(where(job.queue) + "the job's file is not a plain file");
  }
  Document document;
  document.fd = fd;
  document.length = std::uint64_t(status.st_size);
  document.sent = [&](std::uint64_t sent) {
    if (progress) {
      progress(kMakingShare + (1 - kMakingShare) * double(sent) /
                                  double(std::max<std::uint64_t>(1, document.length)));
    }
  };

  Link link(server, job.queue, cancel);
  Ipp request = new_request(IPP_OP_PRINT_JOB, job.queue);
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr,
               job.job_name.c_str());
  ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr,
               "application/pdf");
  ippAddString(request.get(), IPP_TAG_JOB, IPP_TAG_KEYWORD, "media", nullptr, media.c_str());
  // The page is already at its true size on the sheet: nothing may scale it.
  ippAddString(request.get(), IPP_TAG_JOB, IPP_TAG_KEYWORD, "print-scaling", nullptr, "none");
  if (sheet == nullptr && job.ask_600_dpi) {
    ippAddResolution(request.get(), IPP_TAG_JOB, "printer-resolution", IPP_RES_PER_INCH, 600, 600);
  }
  if (sheet != nullptr) {
    if (sheet->ask_dpi) {
      ippAddResolution(request.get(), IPP_TAG_JOB, "printer-resolution", IPP_RES_PER_INCH,
                       sheet->dpi, sheet->dpi);
    }
    ippAddString(request.get(), IPP_TAG_JOB, IPP_TAG_KEYWORD, "print-color-mode", nullptr,
                 sheet->colour_mode.c_str());
    // CUPS's filters read it as colour management off (calibration mode).
    if (sheet->colour_management_off) {
      ippAddBoolean(request.get(), IPP_TAG_JOB, "cm-calibration", 1);
    }
  }
  if (job.copies > 1) {
    ippAddInteger(request.get(), IPP_TAG_JOB, IPP_TAG_INTEGER, "copies", job.copies);
  }

  // An unfinished request makes no job: leaving before the document is all sent, the connection
  // closed, leaves nothing.
  const std::string resource = "/printers/" + job.queue;
  Ipp answer = link.ask(request.get(), resource, &document);
  if (failed(answer.get())) link.fail(status_reason(answer.get()));
  ipp_attribute_t* id_attribute = ippFindAttribute(answer.get(), "job-id", IPP_TAG_INTEGER);
  if (id_attribute == nullptr) {
    link.fail("the server gave the job no id; it may still print the page");
  }
  const int id = ippGetInteger(id_attribute, 0);
  if (id <= 0) {
    link.fail("the server gave the job an invalid id (" + std::to_string(id) +
              "); it may still print the page");
  }
  if (link.cancelSeen() || is_set(cancel)) {
    // Cancelled too late to keep it from the server: the job is cancelled and purged there.
    purge_job(server, job.queue, id);
    throw PrintCancelled(job.queue);
  }
  return id;
}

}  // namespace

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
  JobFile file(job.queue);
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
    throw Error(where(job.queue) + "the job's document could not be made: " + e.what());
  }
  return send_document(server, file, plan.choice.media.keyword, job, nullptr, progress, cancel);
}

PreparedSheetJob prepare_sheet_job(const PrintServer& server, const std::string& queue,
                                   const SheetPrint& sheet, const std::atomic<bool>* cancel) {
  PreparedSheetJob job;
  job.queue = query_print_queue(server, queue, cancel);
  if (const auto refusal = queue_refusal(job.queue)) throw Error(*refusal);
  job.sheet = sheet;
  job.choice = choose_media(job.queue, sheet.paper);
  job.warnings = sheet_warnings(job.queue, job.choice, sheet);
  job.request.queue = queue;
  job.request.job_name = sheet_job_name(sheet);
  job.request.ask_600_dpi = false;
  job.colour.dpi = sheet.dpi;
  job.colour.ask_dpi = std::find(job.queue.resolutions_dpi.begin(), job.queue.resolutions_dpi.end(),
                                 sheet.dpi) != job.queue.resolutions_dpi.end();
  job.colour.colour_mode = sheet.colour ? "color" : "monochrome";
  job.colour.colour_management_off = !sheet.srgb;
  return job;
}

int send_sheet_job(const PrintServer& server, const RowSource& sheet, const PreparedSheetJob& job,
                   const ProgressCallback& progress, const std::atomic<bool>* cancel) {
  const auto report = [&](double fraction) {
    if (is_set(cancel)) throw PrintCancelled(job.request.queue);
    if (progress) progress(fraction);
  };
  JobFile file(job.request.queue);
  const ProgressCallback making = [&](double fraction) { report(fraction * kMakingShare); };
  try {
    const std::span<const std::uint8_t> profile =
        job.sheet.srgb ? std::span<const std::uint8_t>(srgb_icc_profile())
                       : std::span<const std::uint8_t>();
    save_sheet_image_as(sheet, file.path(), ImageEncoding::Pdf, job.sheet.dpi, profile, making);
  } catch (const PrintCancelled&) {
    throw;
  } catch (const Error& e) {
    throw Error(where(job.request.queue) + "the job's document could not be made: " + e.what());
  }
  return send_document(server, file, job.choice.media.keyword, job.request, &job.colour, progress,
                       cancel);
}

PreparedPageJob prepare_page_job(const PrintServer& server, const std::string& queue,
                                 std::string_view area_text_utf8, std::int32_t page_width,
                                 std::int32_t page_height, const std::optional<WantedPaper>& chosen,
                                 const std::atomic<bool>* cancel) {
  PreparedPageJob job;
  job.queue = query_print_queue(server, queue, cancel);
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

PrintJobOutcome follow_print_job(const PrintServer& server, const std::string& queue, int job_id,
                                 const std::function<void(const std::string&)>& changed,
                                 const std::atomic<bool>* cancel) {
  const std::string job = "Job " + std::to_string(job_id) + " on " + queue;
  const auto until = Clock::now() + server.limits.follow;
  std::string last;
  for (;;) {
    int state = 0;
    std::string details;
    bool printer_stopped = false;
    // The job is on the server: a cancel seen while it is asked for purges it there too, as
    // one seen between the questions does.
    try {
      Link link(server, queue, cancel);
      Ipp request = new_request(IPP_OP_GET_JOB_ATTRIBUTES, queue);
      ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job_id);
      static const char* const kWanted[] = {"job-state", "job-state-reasons", "job-state-message"};
      ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                    int(std::size(kWanted)), nullptr, kWanted);
      Ipp answer = link.ask(request.get(), "/jobs/");
      if (failed(answer.get())) {
        link.fail("job " + std::to_string(job_id) +
                  " cannot be followed: " + status_reason(answer.get()));
      }
      ipp_attribute_t* a = ippFindAttribute(answer.get(), "job-state", IPP_TAG_ENUM);
      state = a != nullptr ? ippGetInteger(a, 0) : 0;
      if (state < kFirstJobState || state > kLastJobState) {
        link.fail("the server gave job " + std::to_string(job_id) + " no known state (" +
                  std::to_string(state) + ")");
      }
      if (ipp_attribute_t* m = ippFindAttribute(answer.get(), "job-state-message", IPP_TAG_TEXT)) {
        if (const char* text = ippGetString(m, 0, nullptr)) details = server_says(text);
      }
      std::string reasons;
      if (ipp_attribute_t* r = ippFindAttribute(answer.get(), "job-state-reasons", IPP_TAG_ZERO)) {
        for (int i = 0; i < ippGetCount(r) && i < 16; ++i) {
          const char* keyword = ippGetString(r, i, nullptr);
          const std::string reason = keyword != nullptr ? clean_server_text(keyword, 64) : "";
          if (reason.empty() || reason == "none") continue;
          printer_stopped |= reason == "printer-stopped";
          reasons += (reasons.empty() ? "" : ", ") + reason;
        }
      }
      if (!reasons.empty()) {
        details += (details.empty() ? "" : " ") + ("(job-state-reasons: " + reasons + ")");
      }
    } catch (const PrintCancelled&) {
      purge_job(server, queue, job_id);
      throw;
    }
    const std::string sentence = job + " is " + job_state_word(state);
    if (sentence != last && changed) changed(sentence);
    last = sentence;
    const std::string told = details.empty() ? "" : ": " + details;
    switch (state) {
      case IPP_JSTATE_COMPLETED:
        return {PrintJobEnd::Completed, job + " is completed"};
      case IPP_JSTATE_ABORTED:
        return {PrintJobEnd::Aborted, job + " was aborted" + told};
      case IPP_JSTATE_CANCELED:
        return {PrintJobEnd::Canceled, job + " was canceled" + told};
      case IPP_JSTATE_HELD:
        return {PrintJobEnd::Held, job + " is held" + told};
      default:
        break;
    }
    if (state == IPP_JSTATE_PENDING || state == IPP_JSTATE_STOPPED) {
      // A job waiting on a paused printer waits until someone resumes it: not every server says
      // so in the job's reasons, so the queue itself is asked.
      if (!printer_stopped) {
        const PrintQueue standing = query_print_queue(server, queue, cancel);
        printer_stopped = standing.paused;
        const std::string says = server_says(standing.state_message);
        if (printer_stopped && details.empty() && !says.empty()) details = says;
      }
      if (printer_stopped) {
        const std::string why = details.empty() ? "" : " (" + details + ")";
        return {PrintJobEnd::Held, job + " waits: the printer is paused" + why};
      }
    }
    if (Clock::now() >= until) {
      throw Error(where(queue) + "job " + std::to_string(job_id) + " is still " +
                  job_state_word(state) + " after " + seconds_text(server.limits.follow) +
                  "; the server keeps it");
    }
    if (cancelled_while_waiting(kFollowInterval, cancel)) {
      purge_job(server, queue, job_id);
      throw PrintCancelled(queue);
    }
  }
}

}  // namespace lumigrid
