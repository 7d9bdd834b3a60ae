#pragma once
// Plain HTTP for the update check: one GET whose body comes back as text, and a download into a
// file. Both give up as a platform download service would: a connection not made within
// kConnectTimeoutSeconds, a transfer that receives nothing for kStallSeconds.
#include <cstdint>
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
inline constexpr std::int64_t kNoBodyLimit = -1;

// GET of `url`; returns the body. Throws TransferError when the host cannot be reached, the
// server answers with an error status or the body is larger than `body_limit` bytes.
std::string http_get(const std::string& url, std::int64_t body_limit = kIndexBodyLimit);

// Downloads `url` into the file `path`, creating or replacing it, and returns true only when the
// whole body arrived. The body goes to a temporary file beside `path` that is renamed onto it at
// the end, so a failed or cut transfer leaves `path` as it was. The running executable is never
// replaced: such a target fails at once.
bool download_file(const std::string& url, const std::string& path,
                   std::int64_t body_limit = kNoBodyLimit);

// The URL as it goes on the wire: blanks, control bytes, bytes above 0x7E and the few ASCII
// characters a URL may not hold are percent-encoded; everything else, '%' included, is kept.
std::string wire_url(const std::string& url);

}  // namespace lumigrid::about
