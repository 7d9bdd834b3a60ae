#include "base/atomic_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace lumigrid {

FileReplacement::FileReplacement(std::filesystem::path target, std::string_view lead,
                                 std::string_view tail)
    : target_(std::move(target)) {
  // What stands at the name decides. A file nobody may write stays as it is even for a user
  // whom permissions do not bind; one this user may not write stays although the folder would
  // let the rename replace it.
  struct stat existing {};
  if (::lstat(target_.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) {
      refusal_ = EISDIR;
    } else if (S_ISREG(existing.st_mode)) {
      if ((existing.st_mode & 0222) == 0) {
        refusal_ = kReadOnlyFile;
      } else if (::access(target_.c_str(), W_OK) != 0) {
        refusal_ = errno;
      }
      replaces_existing_ = true;
    }
  }
  if (refusal_ != 0) {
    replaces_existing_ = false;
    return;
  }
  createTemporary(lead, tail);
  if (fd_ >= 0 && replaces_existing_)
    keepOwnerAndMode(existing.st_uid, existing.st_gid, existing.st_mode);
}

FileReplacement::~FileReplacement() {
  discard();
}

void FileReplacement::createTemporary(std::string_view lead, std::string_view tail) {
  const std::filesystem::path folder = target_.parent_path();
  const std::string prefix = temporary_prefix(lead, target_.filename().string(), tail);
  remove_stale_temporaries(folder, prefix);
  // One count for the whole process: two saves beside each other, even on two threads, never
  // try the same name; a name taken all the same (a leftover of an earlier process with this
  // id) just moves on to the next number.
  static std::atomic<unsigned long long> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path candidate =
        folder / temporary_name(prefix, counter.fetch_add(1, std::memory_order_relaxed));
    // 0666 lets the umask decide, as for any new file.
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      fd_ = fd;
      temporary_ = std::move(candidate);
      live_.emplace(temporary_);
      return;
    }
    if (errno != EEXIST) {
      error_ = errno;
      return;
    }
  }
  error_ = EEXIST;
}

void FileReplacement::keepOwnerAndMode(uid_t owner, gid_t group, mode_t mode) const {
  // The superuser saving another user's file leaves it theirs. A user who may not give the
  // file away keeps at least its group where they belong to it; otherwise the file becomes the
  // saver's, as any file one writes anew. The mode comes last: a change of owner clears the
  // set-id bits. Should the mode not pass on either, the umask's stays: the contents are saved.
  struct stat made {};
  if (::fstat(fd_, &made) == 0 && (made.st_uid != owner || made.st_gid != group) &&
      ::fchown(fd_, owner, group) != 0 && made.st_gid != group) {
    [[maybe_unused]] const bool group_kept = ::fchown(fd_, static_cast<uid_t>(-1), group) == 0;
  }
  [[maybe_unused]] const bool mode_kept = ::fchmod(fd_, mode & 07777) == 0;
}

int FileReplacement::commit(bool sync) {
  if (fd_ < 0) {
    if (refusal_ != 0) return refusal_ == kReadOnlyFile ? EACCES : refusal_;
    return error_ != 0 ? error_ : EBADF;
  }
  int error = 0;
  if (sync && ::fsync(fd_) != 0) error = errno;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) error = errno;
  if (error != 0) {
    discard();
    return error;
  }
  temporary_.clear();
  live_.reset();
  return 0;
}

void FileReplacement::discard() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
  live_.reset();
}

}  // namespace lumigrid
