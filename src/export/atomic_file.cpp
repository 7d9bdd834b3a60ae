#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

#include "base/atomic_replace.h"
#include "base/errors.h"
#include "export/export_internal.h"

namespace lumigrid::export_detail {

namespace {

constexpr std::size_t kBufferSize = 1u << 20;

std::string system_reason(int error) {
  return std::generic_category().message(error);
}

// A chain of symbolic links followed to the path it ends at, which need not exist: a dangling
// link leads to the file it names, which the save then creates.
std::filesystem::path follow_links(std::filesystem::path path) {
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec)) return path;
    const std::filesystem::path next = std::filesystem::read_symlink(path, ec);
    if (ec) return path;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  throw_write_error(path, system_reason(ELOOP));
}

}  // namespace

void throw_write_error(const std::filesystem::path& path, std::string_view reason) {
  throw WriteError("Unable to write to " + path.string() + ": " + std::string(reason));
}

AtomicFile::AtomicFile(std::filesystem::path target, bool needs_seeking)
    : target_(std::move(target)) {
  // What the name leads to, links followed. A device or a FIFO is written straight into: it
  // is nothing a rename could replace without breaking what reads from it.
  struct stat existing {};
  if (::stat(target_.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) throw_write_error(target_, system_reason(EISDIR));
    if (!S_ISREG(existing.st_mode)) {
      // Not waiting for a FIFO's reader: without one the save fails at once.
      fd_ = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd_ < 0) throw_write_error(target_, system_reason(errno));
      const int flags = ::fcntl(fd_, F_GETFL);
      if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
      direct_ = true;
      if (needs_seeking) {
        // A pipe or a device cannot go back: the whole picture is made in an unnamed file of
        // the temporary folder first, which no interruption can leave behind.
        target_fd_ = fd_;
        fd_ = -1;
        std::error_code ec;
        const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
        std::string name =
            ((ec ? std::filesystem::path("/tmp") : folder) / "lumigrid-XXXXXX").string();
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ < 0) throw_write_error(target_, system_reason(errno));
        ::unlink(name.c_str());
      }
      buffer_.resize(kBufferSize);
      return;
    }
  }

  const std::filesystem::path real_target = follow_links(target_);
  if (real_target.filename().empty()) throw_write_error(target_, system_reason(EISDIR));
  // A file nobody may write (mode 0444) stays as it is, also for the superuser whom
  // permissions do not bind, with the settings writer's own message. Hidden temporaries.
  replacement_.emplace(real_target, ".", ".tmp");
  if (replacement_->refusal() == FileReplacement::kReadOnlyFile)
    throw WriteError("Unable to write to " + target_.string());
  if (replacement_->refusal() != 0)
    throw_write_error(target_, system_reason(replacement_->refusal()));
  if (!replacement_->ready()) throw_write_error(target_, system_reason(replacement_->error()));
  fd_ = replacement_->fd();
  buffer_.resize(kBufferSize);
}

AtomicFile::~AtomicFile() {
  discard();
}

void AtomicFile::discard() noexcept {
  // The replacement's temporary is closed and removed by the replacement.
  if (replacement_) {
    fd_ = -1;
    replacement_.reset();
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (target_fd_ >= 0) {
    ::close(target_fd_);
    target_fd_ = -1;
  }
}

bool AtomicFile::flushBuffer() noexcept {
  std::size_t offset = 0;
  while (offset < buffered_) {
    const ssize_t n = ::write(fd_, buffer_.data() + offset, buffered_ - offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return false;
    }
    offset += std::size_t(n);
  }
  buffered_ = 0;
  return true;
}

bool AtomicFile::writeAll(const Piece* pieces, std::size_t count) noexcept {
  // At most IOV_MAX pieces a call; a call that wrote part of them resumes where it stopped.
  std::vector<iovec> batch;
  try {
    batch.reserve(std::min<std::size_t>(count, IOV_MAX));
  } catch (const std::bad_alloc&) {
    error_ = ENOMEM;
    return false;
  }
  std::size_t next = 0;
  while (next < count || !batch.empty()) {
    while (next < count && batch.size() < IOV_MAX) {
      if (pieces[next].size > 0) {
        batch.push_back({const_cast<void*>(pieces[next].data), pieces[next].size});
      }
      ++next;
    }
    if (batch.empty()) break;
    const ssize_t n = ::writev(fd_, batch.data(), int(batch.size()));
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return false;
    }
    if (n == 0) {
      error_ = EIO;  // a file that takes nothing would be asked forever
      return false;
    }
    auto done = std::size_t(n);
    std::size_t first = 0;
    while (first < batch.size() && done >= batch[first].iov_len) done -= batch[first++].iov_len;
    if (first < batch.size()) {
      batch[first].iov_base = static_cast<std::uint8_t*>(batch[first].iov_base) + done;
      batch[first].iov_len -= done;
    }
    batch.erase(batch.begin(), batch.begin() + std::ptrdiff_t(first));
  }
  return true;
}

void AtomicFile::writePieces(const Piece* pieces, std::size_t count) noexcept {
  if (error_ != 0 || fd_ < 0) return;
  if (!flushBuffer()) return;
  for (std::size_t i = 0; i < count; ++i) bytes_written_ += pieces[i].size;
  writeAll(pieces, count);
}

void AtomicFile::write(const void* data, std::size_t size) noexcept {
  if (error_ != 0 || fd_ < 0) return;
  // Bytes that would fill the buffer go straight to the file, after what it holds.
  if (size >= buffer_.size()) {
    const Piece piece{data, size};
    writePieces(&piece, 1);
    return;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  bytes_written_ += size;
  while (size > 0) {
    const std::size_t room = buffer_.size() - buffered_;
    const std::size_t n = size < room ? size : room;
    std::memcpy(buffer_.data() + buffered_, bytes, n);
    buffered_ += n;
    bytes += n;
    size -= n;
    if (buffered_ == buffer_.size() && !flushBuffer()) return;
  }
}

std::uint8_t* AtomicFile::reserve(std::size_t size) noexcept {
  if (error_ != 0 || fd_ < 0 || size > buffer_.size()) return nullptr;
  if (buffer_.size() - buffered_ < size && !flushBuffer()) return nullptr;
  return buffer_.data() + buffered_;
}

void AtomicFile::commitReserved(std::size_t size) noexcept {
  buffered_ += size;
  bytes_written_ += size;
  if (buffered_ == buffer_.size()) flushBuffer();
}

void AtomicFile::check() const {
  if (error_ != 0) throw_write_error(target_, system_reason(error_));
}

void AtomicFile::commit() {
  check();
  if (fd_ < 0) throw_write_error(target_, system_reason(EBADF));
  if (!flushBuffer()) check();
  if (direct_) {
    if (target_fd_ >= 0) copySpoolToTarget();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw_write_error(target_, system_reason(errno));
    return;
  }
  // Replacing a file: its old contents must not be lost to a crash between the rename and the
  // write-back, so the new data reaches the disk first. A new file risks nothing of the
  // operator's, and syncing gigabytes of page would cost many seconds.
  fd_ = -1;
  const int error = replacement_->commit(replacement_->replacesExisting());
  if (error != 0) throw_write_error(target_, system_reason(error));
}

void AtomicFile::copySpoolToTarget() {
  std::vector<std::uint8_t> chunk(kBufferSize);
  for (std::uint64_t offset = 0; offset < bytes_written_;) {
    const ssize_t got = ::pread(fd_, chunk.data(), chunk.size(), off_t(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw_write_error(target_, system_reason(got < 0 ? errno : EIO));
    for (ssize_t sent = 0; sent < got;) {
      const ssize_t n = ::write(target_fd_, chunk.data() + sent, std::size_t(got - sent));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw_write_error(target_, system_reason(errno));
      sent += n;
    }
    offset += std::uint64_t(got);
  }
  ::close(fd_);
  fd_ = target_fd_;
  target_fd_ = -1;
}

void throw_memory_error(const std::filesystem::path& path) {
  throw WriteError("Not enough memory to write " + path.string());
}

bool is_memory_failure(const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) return true;
  const auto* system = dynamic_cast<const std::system_error*>(&error);
  return system != nullptr && system->code() == std::errc::resource_unavailable_try_again;
}

void AtomicFile::writeAt(std::uint64_t offset, const void* data, std::size_t size) noexcept {
  if (error_ != 0 || fd_ < 0) return;
  if (offset > bytes_written_ || size > bytes_written_ - offset) {
    error_ = EINVAL;
    return;
  }
  // Positioned writes leave the file offset alone, so buffered writes carry on at the end.
  if (!flushBuffer()) return;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd_, bytes, size, off_t(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return;
    }
    bytes += n;
    size -= std::size_t(n);
    offset += std::uint64_t(n);
  }
}

}  // namespace lumigrid::export_detail
