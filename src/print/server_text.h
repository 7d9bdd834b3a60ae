#pragma once
// What a print server says (a queue's or a job's state message, a status message, a printer's
// name, a job's state reasons) is shown only after cleaning, so that a hostile or broken server
// can neither drive the terminal nor reorder or hide the program's own words: control
// characters (C0, C1, DEL) and whole escape sequences removed, bidirectional overrides,
// embeddings, isolates and marks removed, line and tab breaks turned into single spaces, bytes
// that are not UTF-8 replaced by U+FFFD, and the text cut to a sane length.
#include <cstddef>
#include <string>
#include <string_view>

namespace lumigrid {

// The most characters kept of one server text; a longer one is cut to end with "…" within it.
inline constexpr std::size_t kServerTextCharacters = 200;

// The text cleaned as above, spaces trimmed at both ends.
std::string clean_server_text(std::string_view raw,
                              std::size_t max_characters = kServerTextCharacters);

// `the server says "TEXT"`, the text cleaned; empty when nothing is left of it.
std::string server_says(std::string_view raw);

}  // namespace lumigrid
