// The settings file: any bytes are read, one value of each kind is written, and the file is
// read again. The written values must read back, every value the file held must read the same,
// and every line of the file must still be there, bytes and line end included (only the last
// line may gain an end), in its order; a UTF-16 file stays UTF-16 and is compared as text. The
// same writes as one batch must give the same bytes. A broken UTF-16 file is refused and kept.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/errors.h"
#include "base/utf.h"
#include "settings/ini_file.h"

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "settings file fault: %s\n", what);
  std::abort();
}

// A folder of this process on a memory file system when there is one (every write reaches the
// disk at once), removed when the fuzzer ends.
struct ScratchFolder {
  ScratchFolder() {
    const fs::path base =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    path = base / ("lumigrid-fuzz-settings-" + std::to_string(::getpid()));
    fs::create_directories(path);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  fs::path path;
};

const fs::path& work_folder() {
  static const ScratchFolder folder;
  return folder.path;
}

std::string file_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The file's text as UTF-8, the byte-order mark taken off; nothing for broken UTF-16.
std::optional<std::string> file_text(std::string_view bytes) {
  const bool le = bytes.starts_with("\xFF\xFE");
  const bool be = bytes.starts_with("\xFE\xFF");
  if (!le && !be) return std::string(bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes);
  bytes.remove_prefix(2);
  if (bytes.size() % 2 != 0) return std::nullopt;
  std::u32string units;
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(be ? char32_t(a) << 8 | b : char32_t(b) << 8 | a);
  }
  std::string text;
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      return std::nullopt;
    }
    lumigrid::append_utf8(text, unit);
  }
  return text;
}

// Which byte-order mark the file starts with.
std::string_view mark_of(std::string_view bytes) {
  for (const std::string_view mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"})
    if (bytes.starts_with(mark)) return mark;
  return {};
}

// A line and its end (CR LF, LF, CR, or none for a last line without one).
struct Line {
  std::string text;
  std::string end;
};

std::vector<Line> split_lines(std::string_view bytes) {
  std::vector<Line> lines;
  while (!bytes.empty()) {
    const auto end = bytes.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      lines.push_back({std::string(bytes), ""});
      break;
    }
    const std::size_t end_size = bytes.substr(end, 2) == "\r\n" ? 2 : 1;
    lines.push_back({std::string(bytes.substr(0, end)), std::string(bytes.substr(end, end_size))});
    bytes.remove_prefix(end + end_size);
  }
  return lines;
}

// The trimmed text before the first "=" of each line: every key the file may hold.
std::vector<std::string> candidate_keys(const std::vector<Line>& lines) {
  std::vector<std::string> keys;
  for (const Line& line : lines) {
    const auto eq = line.text.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.text.substr(0, eq);
    while (!key.empty() && (key.front() == ' ' || key.front() == '\t')) key.erase(0, 1);
    while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
    keys.push_back(key);
    if (keys.size() == 24) break;
  }
  return keys;
}

// A key name no section of the file holds yet, so that the writes below only add lines.
std::string absent_key(const lumigrid::IniFile& ini, const std::string& section, const char* stem) {
  for (int n = 0;; ++n) {
    std::string key = stem + std::to_string(n);
    if (!ini.readString(section, key)) return key;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string original(reinterpret_cast<const char*>(data), size);
  const fs::path path = work_folder() / "lumigrid.INI";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(original.data(), std::streamsize(original.size()));
  }

  lumigrid::IniFile before(path);
  const std::optional<std::string> original_text = file_text(original);
  if (!original_text) {
    // Broken UTF-16: read as empty, never rewritten.
    if (!before.sectionNames().empty()) fail("broken UTF-16 read");
    try {
      before.writeString("Fuzz", "text", "a value");
      fail("broken UTF-16 rewritten");
    } catch (const lumigrid::WriteError&) {
    }
    if (file_bytes(path) != original) fail("broken UTF-16 changed");
    return 0;
  }
  const std::vector<std::string> sections = before.sectionNames();
  const std::vector<std::string> keys = candidate_keys(split_lines(*original_text));

  // Into the file's first section (or a new one), and into a section it does not have.
  const std::string first = sections.empty() ? "Fuzz" : sections.front();
  const std::string added = "lumigrid fuzz section";
  const std::string text_key = absent_key(before, first, "text");
  const std::string number_key = absent_key(before, added, "number");
  const std::string real_key = absent_key(before, added, "real");

  const fs::path batch_path = work_folder() / "batch.INI";
  fs::copy_file(path, batch_path, fs::copy_options::overwrite_existing);
  lumigrid::IniFile ini(path);
  ini.writeString(first, text_key, "a value");
  ini.writeInteger(added, number_key, -2147483647 - 1);
  ini.writeReal(added, real_key, 0.1);
  lumigrid::IniFile batch(batch_path);
  batch.writeStrings({{first, text_key, "a value"},
                      {added, number_key, std::to_string(-2147483647 - 1)},
                      {added, real_key, lumigrid::format_real(0.1, '.')}});
  if (file_bytes(batch_path) != file_bytes(path)) fail("a batch wrote other bytes");

  const lumigrid::IniFile after(path);
  if (after.readString(first, text_key) != "a value") fail("written text lost");
  if (after.readInteger(added, number_key, 0) != -2147483647 - 1) fail("written integer lost");
  if (after.readReal(added, real_key, 0) != 0.1) fail("written real lost");

  // Values held before read the same, in every section; only the written keys may have come.
  const auto written_key = [&](std::string key) {
    for (char& c : key) c = char(std::tolower(static_cast<unsigned char>(c)));
    return key == text_key || key == number_key || key == real_key;
  };
  for (const std::string& section : sections)
    for (const std::string& key : keys)
      if (!written_key(key) && before.readString(section, key) != after.readString(section, key))
        fail("a stored value changed");

  // The old sections keep their names and order; at most the new one follows.
  const std::vector<std::string> now = after.sectionNames();
  if (now.size() < sections.size() || !std::equal(sections.begin(), sections.end(), now.begin()))
    fail("sections lost or reordered");

  // Every old line is still there, in order, with its own end; the last may have gained one.
  const std::string written = file_bytes(path);
  if (mark_of(original) != mark_of(written)) fail("byte-order mark changed");
  const std::optional<std::string> written_text = file_text(written);
  if (!written_text) fail("broken UTF-16 written");
  const std::vector<Line> old_lines = split_lines(*original_text);
  const std::vector<Line> new_lines = split_lines(*written_text);
  std::size_t at = 0;
  for (std::size_t i = 0; i < old_lines.size(); ++i) {
    const Line& old = old_lines[i];
    const bool last_without_end = i + 1 == old_lines.size() && old.end.empty();
    while (at < new_lines.size() &&
           !(new_lines[at].text == old.text && (last_without_end || new_lines[at].end == old.end)))
      ++at;
    if (at == new_lines.size()) fail("a line was lost or changed");
    ++at;
  }
  // Three key lines, and for each new section its header and a blank line before it.
  if (new_lines.size() < old_lines.size() + 3 || new_lines.size() > old_lines.size() + 7)
    fail("unexpected number of added lines");
  return 0;
}
