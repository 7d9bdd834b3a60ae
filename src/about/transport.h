#pragma once
// Plain HTTP for the update check: one GET whose body comes back as text, and a download into a
// file. A request gives up when no connection is made within kConnectTimeoutSeconds, when it
// receives nothing for kStallSeconds, when its total deadline passes (a server that trickles
// holds it no longer than that), or when its caller cancels it.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "base/errors.h"

namespace lumigrid::about {

class TransferError : public Error {
 public:
  using Error::Error;
};

inline constexpr long kConnectTimeoutSeconds = 20;
inline constexpr long kStallSeconds = 60;
// The index file is a few hundred bytes; a larger body is not an index file.
inline constexpr std::int64_t kIndexBodyLimit = std::int64_t{1} << 20;
// No release is anywhere near this; a larger body would only fill the disk.
inline constexpr std::int64_t kReleaseBodyLimit = std::int64_t{2} << 30;
inline constexpr std::int64_t kNoBodyLimit = -1;

// The whole time a request may take, by kind. The tests shorten them.
struct RequestDeadlines {
  std::chrono::milliseconds index{15000};
  std::chrono::milliseconds release{std::chrono::hours(2)};
};
RequestDeadlines& request_deadlines();

// Bytes received so far and the size the server announced (-1 when it did not).
using TransferProgress = std::function<void(std::int64_t received, std::int64_t expected)>;

struct TransferOptions {
  std::int64_t body_limit = kIndexBodyLimit;
  std::chrono::milliseconds deadline = request_deadlines().index;
  // Set from any thread: the request stops within about a second.
  const std::atomic<bool>* cancel = nullptr;
  // Called on the requesting thread while the body arrives.
  TransferProgress progress;
};

// GET of `url`; returns the body. Throws TransferError when the host cannot be reached, the
// server answers with an error status, the body is larger than the limit, the deadline passes
// or the request is cancelled.
std::string http_get(const std::string& url, std::int64_t body_limit = kIndexBodyLimit);
std::string http_get(const std::string& url, const TransferOptions& options);

// Downloads `url` into the file `path`, creating or replacing it, and returns true only when the
// whole body arrived. The body goes to a temporary file beside `path` that is renamed onto it at
// the end, so a failed, cut or cancelled transfer leaves `path` as it was; SIGINT and SIGTERM
// remove the temporary, and the next download beside it removes those of killed processes. A
// replaced file keeps its owner, group and mode; a read-only one, a folder and the running
// executable are never replaced: such a target fails at once.
bool download_file(const std::string& url, const std::string& path,
                   std::int64_t body_limit = kIndexBodyLimit);
bool download_file(const std::string& url, const std::string& path, const TransferOptions& options);

// The URL as it goes on the wire: blanks, control bytes, bytes above 0x7E and the few ASCII
// characters a URL may not hold are percent-encoded; everything else, '%' included, is kept.
std::string wire_url(const std::string& url);

}  // namespace lumigrid::about
