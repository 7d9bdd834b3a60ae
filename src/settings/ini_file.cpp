#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <system_error>

#include "base/errors.h"
#include "base/int_parse.h"
#include "base/temporary_files.h"

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

bool write_all(int fd, const std::string& bytes) {
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

// The name of the settings file's temporaries: the file's own name, ".tmp", the process id.
std::string temporary_prefix(const std::filesystem::path& target) {
  return lumigrid::temporary_prefix("", target.filename().string(), ".tmp");
}

// A fresh file beside `target`, created with the target's permissions. Returns -1 when the
// folder refuses it.
int create_temporary_beside(const std::filesystem::path& target, mode_t mode,
                            std::filesystem::path& temp) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    temp = target.parent_path() / temporary_name(temporary_prefix(target), attempt);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      if (mode != 0) ::fchmod(fd, mode & 07777);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

// The whole file; false when it is missing, is not a regular file or cannot be read. Opening
// never waits: a FIFO or a device in the file's place is refused before anything is read.
bool read_whole_file(const std::filesystem::path& path, std::string& content) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  char buffer[65536];
  while (ok) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    content.append(buffer, std::size_t(n));
  }
  ::close(fd);
  return ok;
}

// Best effort after a failed write, which is reported anyway: a failure here has nothing left
// to report. (A cast to void does not quiet glibc's warn_unused_result in fortified builds.)
void restore_size(int fd, off_t size) {
  if (::ftruncate(fd, size) != 0) return;
}

// Writes `bytes` over the file `fd` whose current size is `old_size`. The space is reserved
// first, so a full disk refuses the write before any old byte is touched; should a write fail
// all the same, the old bytes go back.
bool write_in_place(int fd, const std::string& bytes, const std::string& old_bytes) {
  const auto new_size = off_t(bytes.size());
  if (new_size > 0 && ::posix_fallocate(fd, 0, new_size) != 0) {
    // A failed reservation may have left the file longer; its bytes are still the old ones.
    restore_size(fd, off_t(old_bytes.size()));
    return false;
  }
  if (::lseek(fd, 0, SEEK_SET) == 0 && write_all(fd, bytes) && ::ftruncate(fd, new_size) == 0 &&
      ::fsync(fd) == 0)
    return true;
  if (::lseek(fd, 0, SEEK_SET) == 0 && write_all(fd, old_bytes))
    restore_size(fd, off_t(old_bytes.size()));
  return false;
}

}  // namespace

IniFile::IniFile(std::filesystem::path path, char decimal_separator)
    : path_(std::move(path)), decimal_separator_(decimal_separator) {
  std::string content;
  if (!read_whole_file(path_, content)) {
    // Something is there that cannot be read: writing would replace what it holds.
    std::error_code ec;
    unreadable_ = std::filesystem::exists(path_, ec) || ec;
    content.clear();
  }
  original_ = content;
  if (content.starts_with("\xEF\xBB\xBF")) {
    utf8_bom_ = true;
    content.erase(0, 3);
  }
  // CR LF, LF and CR each end a line; every line keeps its own end, so a rewrite gives back the
  // bytes of the lines it does not change. New lines take the first line end of the file.
  bool end_seen = false;
  std::size_t start = 0;
  while (start < content.size()) {
    const auto end = content.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines_.push_back(content.substr(start));
      ends_.emplace_back();
      break;
    }
    const std::size_t end_size = content.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    lines_.push_back(content.substr(start, end - start));
    ends_.push_back(content.substr(end, end_size));
    if (!end_seen) line_end_ = ends_.back();
    end_seen = true;
    start = end + end_size;
  }
  parse();
}

void IniFile::parse() {
  sections_.clear();
  key_index_.clear();
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (auto name = header_name(lines_[i])) {
      if (!sections_.empty()) sections_.back().end_line = i;
      sections_.push_back({std::string(*name), i, lines_.size()});
    }
  }
  key_index_.resize(sections_.size());
}

std::vector<std::string> IniFile::sectionNames() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const auto& s : sections_) names.push_back(s.name);
  return names;
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
  name = trim(name);
  for (const auto& s : sections_)
    if (same_name(s.name, name)) return &s;
  return nullptr;
}

std::optional<IniFile::KeyLine> IniFile::findKey(const Section& section,
                                                 std::string_view key) const {
  auto& index = key_index_[std::size_t(&section - sections_.data())];
  if (!index) {
    index.emplace();
    for (std::size_t i = section.header_line + 1; i < section.end_line; ++i)
      if (auto k = key_of(lines_[i])) index->emplace(lower(*k), i);  // the first one wins
  }
  const auto found = index->find(lower(trim(key)));
  if (found == index->end()) return std::nullopt;
  return KeyLine{found->second, std::string(*key_of(lines_[found->second]))};
}

std::optional<std::string> IniFile::readString(std::string_view section,
                                               std::string_view key) const {
  const Section* s = findSection(section);
  if (!s) return std::nullopt;
  const auto k = findKey(*s, key);
  if (!k) return std::nullopt;
  return std::string(value_of(lines_[k->line]));
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
  section = trim(section);
  key = trim(key);
  std::vector<std::string> lines = lines_;
  std::vector<std::string> ends = ends_;
  const auto insert = [&](std::size_t at, std::string line) {
    // A lone CR followed by a blank line's LF reads back as one CR LF end, and the blank line
    // is gone. Where the new line's end would run together so with a neighbour, it is CR LF,
    // which runs together with nothing.
    const bool cr_before_blank_lf =
        line_end_ == "\r" && at < lines.size() && lines[at].empty() && ends[at] == "\n";
    const bool blank_lf_after_cr =
        line_end_ == "\n" && line.empty() && at > 0 && ends[at - 1] == "\r";
    lines.insert(lines.begin() + std::ptrdiff_t(at), std::move(line));
    ends.insert(ends.begin() + std::ptrdiff_t(at),
                cr_before_blank_lf || blank_lf_after_cr ? std::string("\r\n") : line_end_);
  };
  if (const Section* s = findSection(section)) {
    if (const auto k = findKey(*s, key)) {
      lines[k->line] = k->key + "=" + std::string(value);
    } else {
      // After the section's last non-blank line, so a blank separator stays before the next.
      std::size_t at = s->end_line;
      while (at > s->header_line + 1 && trim(lines[at - 1]).empty()) --at;
      insert(at, std::string(key) + "=" + std::string(value));
    }
  } else {
    if (!lines.empty() && !trim(lines.back()).empty()) insert(lines.size(), "");
    std::string header = "[";
    header.append(section).append("]");
    insert(lines.size(), std::move(header));
    insert(lines.size(), std::string(key) + "=" + std::string(value));
  }
  // A last line without an end gets one: the rewrite ends every line.
  for (auto& end : ends)
    if (end.empty()) end = line_end_;
  original_ = saveLines(lines, ends);
  lines_ = std::move(lines);
  ends_ = std::move(ends);
  parse();
}

void IniFile::writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
  writeString(section, key, std::to_string(value));
}

void IniFile::writeReal(std::string_view section, std::string_view key, double value) {
  writeString(section, key, format_real(value, decimal_separator_));
}

std::string IniFile::saveLines(const std::vector<std::string>& lines,
                               const std::vector<std::string>& ends) const {
  if (unreadable_) fail_write(path_);
  std::string bytes = utf8_bom_ ? "\xEF\xBB\xBF" : "";
  for (std::size_t i = 0; i < lines.size(); ++i) bytes.append(lines[i]).append(ends[i]);

  // A settings file reached through a link is rewritten where the link points.
  std::error_code ec;
  std::filesystem::path target = path_;
  if (std::filesystem::is_symlink(path_, ec)) {
    const auto resolved = std::filesystem::weakly_canonical(path_, ec);
    if (!ec) target = resolved;
  }

  // What stands at the path now decides: a read-only file stays as it is (even for a user whom
  // permissions do not bind), and anything but a regular file is never replaced.
  struct stat existing {};
  const bool exists = ::lstat(target.c_str(), &existing) == 0;
  if (exists) {
    if (!S_ISREG(existing.st_mode) || (existing.st_mode & 0222) == 0 ||
        ::access(target.c_str(), W_OK) != 0)
      fail_write(path_);
  }

  // Temporaries a killed process left behind.
  remove_stale_temporaries(target.parent_path(), temporary_prefix(target));

  // The whole file goes to a temporary beside it that then replaces it, so a failed write
  // never leaves a truncated settings file behind.
  std::filesystem::path temp;
  const int fd = create_temporary_beside(target, exists ? existing.st_mode : 0, temp);
  if (fd >= 0) {
    LiveTemporary live(temp);
    const bool written = write_all(fd, bytes) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(temp.c_str(), target.c_str()) == 0) return bytes;
    ::unlink(temp.c_str());
    fail_write(path_);
  }

  // The folder refuses new files, but the file itself may still be writable.
  if (!exists) fail_write(path_);
  const int in_place = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
  if (in_place < 0) fail_write(path_);
  const bool written = write_in_place(in_place, bytes, original_);
  if (::close(in_place) != 0 || !written) fail_write(path_);
  return bytes;
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
