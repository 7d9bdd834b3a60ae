#pragma once
// "Write a temporary, then rename it over the file": the one way the program replaces a file,
// so that a failed or interrupted save never leaves a truncated file behind. The temporary
// sits beside the target (one file system, so the rename is atomic) under a name that fits a
// folder entry whatever the target's name; a file nobody may write is refused, also for the
// superuser; a replaced file keeps its owner, group and mode; SIGINT and SIGTERM remove the
// temporary while it is live, and each replacement first removes the temporaries killed
// processes left beside the target.
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string_view>

#include "base/temporary_files.h"

namespace lumigrid {

class FileReplacement {
 public:
  // refusal() of a regular file without any write permission bit.
  static constexpr int kReadOnlyFile = -1;

  // Prepares to replace `target`, whose links the caller has already followed (a link still
  // there is replaced as a name). The temporaries are named `lead` + the target's name +
  // `tail` + process id + "_" + number. When the target is refused or no temporary can be
  // made, ready() is false and refusal() or error() say why; nothing has been touched then.
  FileReplacement(std::filesystem::path target, std::string_view lead, std::string_view tail);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  bool ready() const { return fd_ >= 0; }
  // Why the target may not be replaced: kReadOnlyFile, EISDIR for a folder, or the reason the
  // process may not write the file; 0 when it may (or the target does not exist yet).
  int refusal() const { return refusal_; }
  // Why no temporary could be made (errno), when the target was not refused.
  int error() const { return error_; }
  // Whether a regular file stands at the target (and its owner, group and mode pass on).
  bool replacesExisting() const { return replaces_existing_; }
  // The temporary to write into, or -1; owned by this object.
  int fd() const { return fd_; }
  const std::filesystem::path& temporary() const { return temporary_; }

  // Closes the temporary (syncing it to disk first when `sync`) and renames it over the target.
  // Returns 0, or the errno of the step that failed; the temporary is then removed and the
  // target is as it was.
  int commit(bool sync);
  // Closes and removes the temporary; the target stays as it was.
  void discard() noexcept;

 private:
  void createTemporary(std::string_view lead, std::string_view tail);
  void keepOwnerAndMode(uid_t owner, gid_t group, mode_t mode) const;

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::optional<LiveTemporary> live_;  // SIGINT and SIGTERM remove temporary_
  int fd_ = -1;
  int refusal_ = 0;
  int error_ = 0;
  bool replaces_existing_ = false;
};

}  // namespace lumigrid
