#include "about/transport.h"

#include <curl/curl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>

#include "base/atomic_replace.h"

namespace lumigrid::about {
namespace {

void init_curl_once() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
      throw TransferError("The HTTP client could not be initialised");
    }
  });
}

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlStringDeleter {
  void operator()(char* text) const { curl_free(text); }
};

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Parses the URL once for the transfer. Names under the reserved "invalid" domain never
// resolve; they fail here without asking a name server, which may be out of reach.
std::unique_ptr<CURLU, UrlDeleter> parse_url(const std::string& url) {
  std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  if (!parsed) throw TransferError("Out of memory");
  if (curl_url_set(parsed.get(), CURLUPART_URL, wire_url(url).c_str(), 0) != CURLUE_OK) {
    throw TransferError("Malformed URL: " + url);
  }
  char* host_part = nullptr;
  if (curl_url_get(parsed.get(), CURLUPART_HOST, &host_part, 0) != CURLUE_OK) {
    throw TransferError("Malformed URL: " + url);
  }
  std::unique_ptr<char, CurlStringDeleter> host_owner(host_part);
  std::string host(host_part);
  for (char& c : host) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  while (!host.empty() && host.back() == '.') host.pop_back();
  if (host == "invalid" || ends_with(host, ".invalid")) {
    throw TransferError("Could not resolve host: " + host);
  }
  return parsed;
}

// Collects the body, refusing more than the limit.
struct Sink {
  const TransferOptions* options = nullptr;
  std::int64_t limit = kNoBodyLimit;
  std::int64_t received = 0;
  bool over_limit = false;
  std::string* text = nullptr;  // either text or fd
  int fd = -1;
  bool write_failed = false;
};

size_t write_body(char* data, size_t size, size_t count, void* user) {
  Sink& sink = *static_cast<Sink*>(user);
  const size_t bytes = size * count;
  if (sink.limit >= 0 && static_cast<std::int64_t>(bytes) > sink.limit - sink.received) {
    sink.over_limit = true;
    return 0;  // ends the transfer with a write error
  }
  sink.received += static_cast<std::int64_t>(bytes);
  if (sink.text != nullptr) {
    sink.text->append(data, bytes);
    return bytes;
  }
  size_t written = 0;
  while (written < bytes) {
    const ssize_t n = ::write(sink.fd, data + written, bytes - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      sink.write_failed = true;
      return 0;
    }
    written += static_cast<size_t>(n);
  }
  return bytes;
}

// Libcurl asks about once a second, and as data arrives, whether to go on.
int on_progress(void* user, curl_off_t download_total, curl_off_t download_now, curl_off_t,
                curl_off_t) {
  const TransferOptions& options = *static_cast<Sink*>(user)->options;
  if (options.cancel != nullptr && options.cancel->load()) return 1;
  if (options.progress) options.progress(download_now, download_total > 0 ? download_total : -1);
  return 0;
}

// Runs one GET into the sink; throws TransferError with the reason on any failure.
void transfer(const std::string& url, Sink& sink) {
  init_curl_once();
  std::unique_ptr<CURLU, UrlDeleter> parsed = parse_url(url);
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  if (!easy) throw TransferError("Out of memory");
  CURL* h = easy.get();
  char error_text[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(h, CURLOPT_CURLU, parsed.get());
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error_text);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
  if (sink.options->deadline.count() > 0) {
    const long deadline_ms = sink.options->deadline.count();  // curl reads a long
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, deadline_ms);
  }
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, on_progress);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &sink);
  if (sink.limit >= 0) curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, curl_off_t{sink.limit});
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, write_body);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
  const CURLcode result = curl_easy_perform(h);
  if (sink.over_limit || result == CURLE_FILESIZE_EXCEEDED) {
    throw TransferError("The response from " + url + " is too large");
  }
  if (sink.write_failed) throw TransferError("Unable to write the download of " + url);
  if (result == CURLE_ABORTED_BY_CALLBACK) throw TransferError("The request was cancelled");
  if (result != CURLE_OK) {
    std::string reason = error_text[0] != '\0' ? error_text : curl_easy_strerror(result);
    throw TransferError(reason);
  }
}

// True when `path` names the file this process runs from.
bool is_running_executable(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::equivalent(path, "/proc/self/exe", error) && !error;
}

}  // namespace

std::string wire_url(const std::string& url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(url.size());
  for (const char byte : url) {
    const auto c = static_cast<unsigned char>(byte);
    const bool plain = c > 0x20 && c < 0x7F && c != '"' && c != '<' && c != '>' && c != '\\' &&
                       c != '^' && c != '`' && c != '{' && c != '|' && c != '}';
    if (plain) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
  return out;
}

RequestDeadlines& request_deadlines() {
  static RequestDeadlines deadlines;
  return deadlines;
}

std::string http_get(const std::string& url, std::int64_t body_limit) {
  TransferOptions options;
  options.body_limit = body_limit;
  return http_get(url, options);
}

std::string http_get(const std::string& url, const TransferOptions& options) {
  std::string body;
  Sink sink;
  sink.options = &options;
  sink.limit = options.body_limit;
  sink.text = &body;
  transfer(url, sink);
  return body;
}

bool download_file(const std::string& url, const std::string& path, std::int64_t body_limit) {
  TransferOptions options;
  options.body_limit = body_limit;
  return download_file(url, path, options);
}

bool download_file(const std::string& url, const std::string& path,
                   const TransferOptions& options) {
  const std::filesystem::path target(path);
  if (target.filename().empty() || is_running_executable(target)) return false;
  // Hidden ".part" temporaries beside the target; a read-only file is refused.
  FileReplacement replacement(target, ".", ".part");
  if (!replacement.ready()) return false;
  Sink sink;
  sink.options = &options;
  sink.limit = options.body_limit;
  sink.fd = replacement.fd();
  bool complete = false;
  try {
    transfer(url, sink);
    complete = true;
  } catch (const std::exception&) {
    complete = false;
  }
  // The target may have become the running executable in between (a link, a rename).
  if (complete) complete = !is_running_executable(target) && replacement.commit(false) == 0;
  if (!complete) replacement.discard();
  return complete;
}

}  // namespace lumigrid::about
