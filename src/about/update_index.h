#pragma once
// The update folder's index file: a JSON object naming the published release.
#include <cstddef>
#include <string>

#include "base/errors.h"

namespace lumigrid::about {

class IndexError : public Error {
 public:
  using Error::Error;
};

// The longest "version" an index may give, in bytes; a version is one line without control
// characters.
inline constexpr std::size_t kMaxVersionLength = 64;

struct ReleaseIndex {
  std::string file_name;  // "file_name": the release file, relative to the update folder
  std::string version;    // "version": compared as text with the running version
  std::string website;    // "website": the page the web button opens
};

// Reads the three members from JSON text whose top level is an object. Members are found by
// exact name; the first member of a name counts and others are ignored. Throws IndexError when
// the text is not JSON, the top level is not an object, or a member is missing or not a string.
ReleaseIndex parse_index(const std::string& json_text);

// Bytes of the index file as UTF-8 text: a UTF-8 byte-order mark is dropped, a UTF-16 one
// (little or big endian) selects UTF-16, and text without one is taken as UTF-8. Throws
// IndexError for broken UTF-16.
std::string index_bytes_to_text(const std::string& bytes);

}  // namespace lumigrid::about
