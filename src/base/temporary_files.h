#pragma once
// Temporary files the program writes beside a file before renaming them over it. Their names
// are the prefix, the writing process's id, "_" and a number, so that a later save can tell the
// leftovers of a killed process from a save still running in another one. While a temporary
// is live it is registered, and SIGINT or SIGTERM removes it before the process ends.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace lumigrid {

// The prefix of a file's temporaries: `lead` + the file's name + `tail`, with the name cut
// short (at a character boundary) where the temporary's whole name, process id and number
// included, would pass the 255 bytes a file name may have.
std::string temporary_prefix(std::string_view lead, const std::string& file_name,
                             std::string_view tail);

// prefix + this process's id + "_" + `number`.
std::string temporary_name(const std::string& prefix, unsigned long long number);

// Removes, from `folder`, every file named prefix + id + "_" + digits whose process id names no
// running process. Best effort: what cannot be removed stays.
void remove_stale_temporaries(const std::filesystem::path& folder, const std::string& prefix);

// Registers a live temporary for removal by SIGINT and SIGTERM while the object lives; its
// handlers are installed on first use for signals the program has not claimed. A folder is
// removed once the live files in it are, when nothing else is left in it.
class LiveTemporary {
 public:
  LiveTemporary() = default;
  explicit LiveTemporary(const std::filesystem::path& path);
  ~LiveTemporary();
  LiveTemporary(const LiveTemporary&) = delete;
  LiveTemporary& operator=(const LiveTemporary&) = delete;

  // Ends the registration (after the temporary was renamed or removed).
  void release() noexcept;

 private:
  int slot_ = -1;
};

}  // namespace lumigrid
