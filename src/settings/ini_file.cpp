#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <system_error>
#include <thread>

#include "base/atomic_replace.h"
#include "base/errors.h"
#include "base/int_parse.h"
#include "base/utf.h"

namespace lumigrid {
namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

char ascii_lower(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

std::string lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), ascii_lower);
  return out;
}

bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return ascii_lower(x) == ascii_lower(y);
         });
}

// The section name of a "[name]" line, or nothing for any other line. A missing "]" takes the
// rest of the line, as the classic INI readers do.
std::optional<std::string_view> header_name(std::string_view line) {
  const std::string_view t = trim(line);
  if (t.empty() || t.front() != '[') return std::nullopt;
  std::string_view inner = t.substr(1);
  const auto close = inner.find(']');
  if (close != std::string_view::npos) inner = inner.substr(0, close);
  return trim(inner);
}

// The key of a "key=value" line; comments and lines without a key are not key lines.
std::optional<std::string_view> key_of(std::string_view line) {
  const std::string_view t = trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '#') return std::nullopt;
  const auto eq = t.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  const std::string_view key = trim(t.substr(0, eq));
  if (key.empty()) return std::nullopt;
  return key;
}

std::string_view value_of(std::string_view line) {
  const auto eq = line.find('=');
  return trim(line.substr(eq + 1));
}

[[noreturn]] void fail_write(const std::filesystem::path& path) {
  throw WriteError("Unable to write to " + path.string());
}

bool write_all(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += std::size_t(n);
  }
  return true;
}

// A file's bytes as the pieces they are held in (a byte-order mark and the text), so that the
// text is not copied once more to be written.
struct FileImage {
  std::string owned;  // the encoded bytes when the text had to be encoded
  std::vector<std::string_view> pieces;

  std::uint64_t size() const {
    std::uint64_t total = 0;
    for (const auto piece : pieces) total += piece.size();
    return total;
  }
  bool writeTo(int fd) const {
    return std::all_of(pieces.begin(), pieces.end(),
                       [&](std::string_view piece) { return write_all(fd, piece); });
  }
};

// The whole file; false when it is missing, is not a regular file, is larger than
// kMaxSettingsFileBytes (by its size before reading, or by what a growing file gives) or cannot
// be read. Opening never waits: a FIFO or a device in the file's place is refused before
// anything is read. `st` receives what the opened file was when it was read.
bool read_whole_file(const std::filesystem::path& path, std::string& content, struct stat& st) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
            std::uint64_t(st.st_size) <= kMaxSettingsFileBytes;
  // The size read is the size held: no growth by doubling.
  if (ok) content.reserve(std::size_t(st.st_size));
  char buffer[65536];
  while (ok) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    if (content.size() + std::size_t(n) > kMaxSettingsFileBytes) {
      ok = false;
      break;
    }
    content.append(buffer, std::size_t(n));
  }
  ::close(fd);
  return ok;
}

FileStamp stamp_of(const struct stat& st) {
  return {true,
          std::uint64_t(st.st_dev),
          std::uint64_t(st.st_ino),
          std::int64_t(st.st_size),
          std::int64_t(st.st_mtim.tv_sec),
          std::int64_t(st.st_mtim.tv_nsec)};
}

FileStamp stamp_at(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? stamp_of(st) : FileStamp{};
}

// The file a write replaces: a settings file reached through a link is rewritten where the
// link points.
std::filesystem::path write_target(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_symlink(path, ec)) {
    auto resolved = std::filesystem::weakly_canonical(path, ec);
    if (!ec) return resolved;
  }
  return path;
}

// An exclusive lock on the folder of a settings file for one read-modify-write, so that two
// programs writing the same file (lumigrid at its exit, lumigrid-render writing a chart's
// defaults) take turns instead of each replacing the file with its own stale copy. The folder
// is locked rather than the file because every write replaces the file with a new one. A lock
// that cannot be had (a folder that cannot be opened, a file system without locks) or that
// another program keeps for longer than kLockWait is gone without: a write never hangs.
class FolderLock {
 public:
  explicit FolderLock(const std::filesystem::path& file) {
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    const auto give_up = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= give_up) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  static constexpr auto kLockWait = std::chrono::seconds(2);
  int fd_ = -1;
};

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

// UTF-16 bytes (after the mark) as UTF-8; nothing for an odd count of bytes or a lone
// surrogate, which no conversion could give back as they were.
std::optional<std::string> utf8_from_utf16(std::string_view bytes, bool big_endian) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  const auto unit_at = [&](std::size_t i) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return big_endian ? char32_t(a) << 8 | b : char32_t(b) << 8 | a;
  };
  std::string out;
  out.reserve(bytes.size() / 2 * 3 / 2);
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    char32_t unit = unit_at(i);
    if (unit >= 0xDC00 && unit <= 0xDFFF) return std::nullopt;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 4 > bytes.size()) return std::nullopt;
      const char32_t low = unit_at(i + 2);
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    append_utf8(out, unit);
  }
  return out;
}

// UTF-8 text as UTF-16 bytes, appended to `out`; false when the text is not UTF-8 (then a
// UTF-16 file cannot hold it).
bool append_utf16(std::string& out, std::string_view text, bool big_endian) {
  const auto unit = [&](char32_t u) {
    const char high = static_cast<char>(u >> 8);
    const char low = static_cast<char>(u & 0xFF);
    out.push_back(big_endian ? high : low);
    out.push_back(big_endian ? low : high);
  };
  std::size_t i = 0;
  while (i < text.size()) {
    const auto sequence = decode_utf8_sequence(text, i);
    if (!sequence) return false;
    char32_t code = sequence->code_point;
    i += sequence->length;
    if (code >= 0x10000) {
      code -= 0x10000;
      unit(0xD800 + (code >> 10));
      unit(0xDC00 + (code & 0x3FF));
    } else {
      unit(code);
    }
  }
  return true;
}

// One line of the text: [start, end) is its text, [end, next) its end (none for a last line
// without one).
struct LineSpan {
  std::size_t start;
  std::size_t end;
  std::size_t next;
};

// CR LF, LF and CR each end a line.
LineSpan line_at(std::string_view text, std::size_t start) {
  const auto end = text.find_first_of("\r\n", start);
  if (end == std::string_view::npos) return {start, text.size(), text.size()};
  const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
  return {start, end, end + (crlf ? 2 : 1)};
}

std::string_view line_text(std::string_view text, const LineSpan& line) {
  return text.substr(line.start, line.end - line.start);
}

// The start of the line before the one starting at `at` (> 0).
std::size_t previous_line_start(std::string_view text, std::size_t at) {
  std::size_t end = at - 1;
  if (text[end] == '\n' && end > 0 && text[end - 1] == '\r') --end;
  if (end == 0) return 0;
  const auto before = text.find_last_of("\r\n", end - 1);
  return before == std::string_view::npos ? 0 : before + 1;
}

// The offsets of the "[name]" lines of `text`.
std::vector<std::size_t> section_starts(std::string_view text) {
  std::vector<std::size_t> starts;
  for (std::size_t at = 0; at < text.size();) {
    const LineSpan line = line_at(text, at);
    if (header_name(line_text(text, line))) starts.push_back(at);
    at = line.next;
  }
  return starts;
}

// Best effort after a failed write, which is reported anyway: a failure here has nothing left
// to report. (A cast to void does not quiet glibc's warn_unused_result in fortified builds.)
void restore_size(int fd, off_t size) {
  if (::ftruncate(fd, size) != 0) return;
}

// Writes `bytes` over the file `fd` whose current bytes are `old_bytes`. The space is reserved
// first, so a full disk refuses the write before any old byte is touched; should a write fail
// all the same, the old bytes go back.
bool write_in_place(int fd, const FileImage& bytes, const FileImage& old_bytes) {
  const auto new_size = off_t(bytes.size());
  const auto old_size = off_t(old_bytes.size());
  if (new_size > 0 && ::posix_fallocate(fd, 0, new_size) != 0) {
    // A failed reservation may have left the file longer; its bytes are still the old ones.
    restore_size(fd, old_size);
    return false;
  }
  if (::lseek(fd, 0, SEEK_SET) == 0 && bytes.writeTo(fd) && ::ftruncate(fd, new_size) == 0 &&
      ::fsync(fd) == 0)
    return true;
  if (::lseek(fd, 0, SEEK_SET) == 0 && old_bytes.writeTo(fd)) restore_size(fd, old_size);
  return false;
}

bool has_line_break(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

IniFile::IniFile(std::filesystem::path path, char decimal_separator)
    : path_(std::move(path)), decimal_separator_(decimal_separator) {
  load();
}

void IniFile::load() {
  encoding_ = Encoding::Utf8;
  line_end_ = LineEnd::Lf;
  unreadable_ = false;
  key_index_.clear();

  std::string content;
  struct stat st {};
  const bool read = read_whole_file(path_, content, st);
  // A file that could not even be opened is marked as missing: the next write looks again.
  stamp_ = st.st_ino != 0 ? stamp_of(st) : FileStamp{};
  if (!read) {
    // Something is there that cannot be read: writing would replace what it holds.
    std::error_code ec;
    unreadable_ = std::filesystem::exists(path_, ec) || ec;
    content.clear();
  }
  const std::string_view bytes = content;
  if (bytes.starts_with(kUtf8Bom)) {
    encoding_ = Encoding::Utf8Bom;
    content.erase(0, kUtf8Bom.size());
  } else if (bytes.starts_with(kUtf16LeBom) || bytes.starts_with(kUtf16BeBom)) {
    const bool big_endian = bytes.starts_with(kUtf16BeBom);
    encoding_ = big_endian ? Encoding::Utf16Be : Encoding::Utf16Le;
    auto text = utf8_from_utf16(bytes.substr(2), big_endian);
    // Broken UTF-16 could not be written back as it was: the file is left alone.
    if (!text) unreadable_ = true;
    content = text ? std::move(*text) : std::string();
  }
  text_.bytes = std::move(content);
  text_.sections.clear();
  // Every line keeps its own end, so a rewrite gives back the bytes of the lines it does not
  // change. New lines take the first line end of the file.
  const auto first_end = text_.bytes.find_first_of("\r\n");
  if (first_end != std::string::npos) {
    const LineSpan line = line_at(text_.bytes, first_end);
    line_end_ = line.next - line.end == 2        ? LineEnd::CrLf
                : text_.bytes[first_end] == '\r' ? LineEnd::Cr
                                                 : LineEnd::Lf;
  }
  text_.sections = section_starts(text_.bytes);
}

std::string_view IniFile::sectionName(std::size_t section) const {
  const std::string_view text = text_.bytes;
  return *header_name(line_text(text, line_at(text, text_.sections[section])));
}

std::vector<std::string> IniFile::sectionNames() const {
  std::vector<std::string> names;
  names.reserve(text_.sections.size());
  for (std::size_t i = 0; i < text_.sections.size(); ++i) names.emplace_back(sectionName(i));
  return names;
}

std::optional<std::size_t> IniFile::findSection(std::string_view name) const {
  name = trim(name);
  for (std::size_t i = 0; i < text_.sections.size(); ++i)
    if (same_name(sectionName(i), name)) return i;
  return std::nullopt;
}

std::optional<std::size_t> IniFile::findKey(std::size_t section, std::string_view key) const {
  auto [index, fresh] = key_index_.try_emplace(section);
  if (fresh) {
    const std::string_view text = text_.bytes;
    const std::size_t end =
        section + 1 < text_.sections.size() ? text_.sections[section + 1] : text.size();
    for (std::size_t at = line_at(text, text_.sections[section]).next; at < end;) {
      const LineSpan line = line_at(text, at);
      if (auto k = key_of(line_text(text, line)))
        index->second.emplace(lower(*k), at);  // the first one wins
      at = line.next;
    }
  }
  const auto found = index->second.find(lower(trim(key)));
  if (found == index->second.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> IniFile::readString(std::string_view section,
                                               std::string_view key) const {
  const auto s = findSection(section);
  if (!s) return std::nullopt;
  const auto k = findKey(*s, key);
  if (!k) return std::nullopt;
  const std::string_view text = text_.bytes;
  return std::string(value_of(line_text(text, line_at(text, *k))));
}

std::int32_t IniFile::readInteger(std::string_view section, std::string_view key,
                                  std::int32_t fallback) const {
  const auto text = readString(section, key);
  if (!text) return fallback;
  return parse_platform_int(*text).value_or(fallback);
}

bool IniFile::readFlag(std::string_view section, std::string_view key, bool fallback) const {
  return readInteger(section, key, fallback ? 1 : 0) != 0;
}

double IniFile::readReal(std::string_view section, std::string_view key, double fallback) const {
  const auto text = readString(section, key);
  if (!text) return fallback;
  return parse_real(*text, decimal_separator_).value_or(fallback);
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
  writeStrings({IniEntry{section, key, std::string(value)}});
}

void IniFile::writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
  writeString(section, key, std::to_string(value));
}

void IniFile::writeReal(std::string_view section, std::string_view key, double value) {
  writeString(section, key, format_real(value, decimal_separator_));
}

void IniFile::writeStrings(const std::vector<IniEntry>& entries) {
  const FolderLock lock(write_target(path_));
  // Another program may have rewritten the file since it was read here: its values stay.
  if (stamp_at(path_) != stamp_) load();
  if (unreadable_) fail_write(path_);
  Text next;
  std::size_t added = 0;
  for (const IniEntry& e : entries) added += e.section.size() + e.key.size() + e.value.size() + 16;
  next.bytes.reserve(text_.bytes.size() + added);
  next.bytes = text_.bytes;
  next.sections = text_.sections;
  std::string& text = next.bytes;
  const std::string_view new_end = line_end_ == LineEnd::CrLf ? "\r\n"
                                   : line_end_ == LineEnd::Cr ? "\r"
                                                              : "\n";
  // Offsets at or past `at` move by `grown` bytes (`shrunk` back).
  const auto shift = [&](std::size_t at, std::size_t grown, std::size_t shrunk) {
    for (auto& start : next.sections)
      if (start >= at) start = start + grown - shrunk;
  };
  const auto insert = [&](std::size_t at, std::string_view line) {
    // A lone CR followed by a blank line's LF reads back as one CR LF end, and the blank line
    // is gone. Where the new line's end would run together so with a neighbour, it is CR LF,
    // which runs together with nothing.
    const bool cr_before_blank_lf =
        line_end_ == LineEnd::Cr && at < text.size() && text[at] == '\n';
    const bool blank_lf_after_cr =
        line_end_ == LineEnd::Lf && line.empty() && at > 0 && text[at - 1] == '\r';
    const std::string_view end = cr_before_blank_lf || blank_lf_after_cr ? "\r\n" : new_end;
    std::string whole;
    whole.reserve(line.size() + end.size());
    whole.append(line).append(end);
    text.insert(at, whole);
    shift(at, whole.size(), 0);
  };

  for (const IniEntry& e : entries) {
    const std::string_view section = trim(e.section);
    const std::string_view key = trim(e.key);
    // A last line without an end gets one: the rewrite ends every line.
    if (!text.empty() && text.back() != '\r' && text.back() != '\n') text.append(new_end);

    const auto s = std::find_if(next.sections.begin(), next.sections.end(), [&](std::size_t at) {
      return same_name(*header_name(line_text(text, line_at(text, at))), section);
    });
    if (s != next.sections.end()) {
      const std::size_t body = line_at(text, *s).next;
      const std::size_t end = s + 1 != next.sections.end() ? *(s + 1) : text.size();
      std::optional<LineSpan> found;
      for (std::size_t at = body; at < end && !found;) {
        const LineSpan line = line_at(text, at);
        const auto k = key_of(line_text(text, line));
        if (k && same_name(*k, key)) found = line;
        at = line.next;
      }
      if (found) {
        const std::string spelt(*key_of(line_text(text, *found)));
        std::string line = spelt;
        line.append("=").append(e.value);
        text.replace(found->start, found->end - found->start, line);
        shift(found->start + 1, line.size(), found->end - found->start);
      } else {
        // After the section's last non-blank line, so a blank separator stays before the next.
        std::size_t at = end;
        while (at > body) {
          const std::size_t before = previous_line_start(text, at);
          if (!trim(line_text(text, line_at(text, before))).empty()) break;
          at = before;
        }
        std::string line(key);
        line.append("=").append(e.value);
        insert(at, line);
      }
    } else {
      if (!text.empty()) {
        const std::size_t last = previous_line_start(text, text.size());
        if (!trim(line_text(text, line_at(text, last))).empty()) insert(text.size(), "");
      }
      std::string header = "[";
      header.append(section).append("]");
      const std::size_t header_at = text.size();
      insert(text.size(), header);
      next.sections.push_back(header_at);
      std::string line(key);
      line.append("=").append(e.value);
      insert(text.size(), line);
    }
    // A line end in a name or value makes lines of its own, perhaps a section.
    if (has_line_break(e.section) || has_line_break(e.key) || has_line_break(e.value))
      next.sections = section_starts(text);
  }

  save(next);
  text_ = std::move(next);
  key_index_.clear();
  // What is on disk now is this object's own text.
  stamp_ = stamp_at(path_);
}

void IniFile::save(const Text& text) const {
  if (unreadable_) fail_write(path_);
  // The file's bytes in its own encoding.
  const auto image_of = [&](const std::string& utf8, FileImage& image) {
    switch (encoding_) {
      case Encoding::Utf8:
        image.pieces = {utf8};
        return true;
      case Encoding::Utf8Bom:
        image.pieces = {kUtf8Bom, utf8};
        return true;
      case Encoding::Utf16Le:
      case Encoding::Utf16Be: {
        const bool big_endian = encoding_ == Encoding::Utf16Be;
        image.owned.reserve(2 + 2 * utf8.size());
        image.owned.append(big_endian ? kUtf16BeBom : kUtf16LeBom);
        if (!append_utf16(image.owned, utf8, big_endian)) return false;
        image.pieces = {image.owned};
        return true;
      }
    }
    return false;
  };
  FileImage bytes;
  if (!image_of(text.bytes, bytes) || bytes.size() > kMaxSettingsFileBytes) fail_write(path_);

  const std::filesystem::path target = write_target(path_);

  // Anything but a regular file (a FIFO, a device, a link to nowhere) is never replaced.
  struct stat existing {};
  const bool exists = ::lstat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) fail_write(path_);

  // The whole file goes to a temporary beside it that then replaces it, so a failed write
  // never leaves a truncated settings file behind. A read-only file stays as it is (even for a
  // user whom permissions do not bind).
  FileReplacement replacement(target, "", ".tmp");
  if (replacement.refusal() != 0) fail_write(path_);
  if (replacement.ready()) {
    if (bytes.writeTo(replacement.fd()) && replacement.commit(true) == 0) return;
    fail_write(path_);
  }

  // The folder refuses new files, but the file itself may still be writable.
  if (!exists) fail_write(path_);
  const int in_place = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
  if (in_place < 0) fail_write(path_);
  // The old bytes as read: the text held now, in the same encoding.
  FileImage old_bytes;
  const bool old_ok = image_of(text_.bytes, old_bytes);
  const bool written = old_ok && write_in_place(in_place, bytes, old_bytes);
  if (::close(in_place) != 0 || !written) fail_write(path_);
}

std::string format_real(double value, char decimal_separator) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  std::string text(buffer, result.ptr);
  std::replace(text.begin(), text.end(), '.', decimal_separator);
  return text;
}

std::optional<double> parse_real(std::string_view text, char decimal_separator) {
  text = trim(text);
  std::string normal;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') normal += '-';
    ++i;
  }
  std::size_t digits = 0;
  bool separator_seen = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      normal += c;
      ++digits;
    } else if (c == decimal_separator && !separator_seen) {
      normal += '.';
      separator_seen = true;
    } else {
      break;
    }
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    normal += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) normal += text[i++];
    std::size_t exponent_digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++exponent_digits)
      normal += text[i];
    if (exponent_digits == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  double value = 0;
  const auto result = std::from_chars(normal.data(), normal.data() + normal.size(), value);
  if (result.ec != std::errc() || result.ptr != normal.data() + normal.size()) return std::nullopt;
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace lumigrid
