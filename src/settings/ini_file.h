#pragma once
// The settings file's INI format, read and written with the classic INI rules: section and
// key names match without regard to (ASCII) case, blanks around names and values are ignored,
// sections keep their file order, a write changes the value where it stands or adds the key at
// the end of its section, a new section goes at the end, and every write reaches the disk at
// once. Lines the class does not understand are kept as they are.
//
// The file is held once, as UTF-8 text: a UTF-16 file (its byte-order mark says which order)
// is decoded on reading and encoded again, with the same mark, on writing, so the lines a write
// does not change keep their bytes. Lines are not stored apart: only where each section starts.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lumigrid {

// The largest settings file read. A larger one reads as empty and is never rewritten (a write
// to it fails with the usual message), as an unreadable one: its size says it is not ours.
inline constexpr std::uint64_t kMaxSettingsFileBytes = std::uint64_t{64} << 20;

// Which file stands at a path and when it was last changed; a rewrite makes a new file.
struct FileStamp {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modified_seconds = 0;
  std::int64_t modified_nanoseconds = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// One write of a batch: `value` for `key` in `section`.
struct IniEntry {
  std::string_view section;
  std::string_view key;
  std::string value;
};

class IniFile {
 public:
  // Reads `path` now; a missing or unreadable file, one past kMaxSettingsFileBytes and broken
  // UTF-16 read as empty. `decimal_separator` is the locale's, used for reals in both
  // directions.
  explicit IniFile(std::filesystem::path path, char decimal_separator = '.');

  const std::filesystem::path& path() const { return path_; }
  char decimalSeparator() const { return decimal_separator_; }

  // Every section name in file order, duplicates included.
  std::vector<std::string> sectionNames() const;

  // The trimmed value, or nothing when the section or key is missing.
  std::optional<std::string> readString(std::string_view section, std::string_view key) const;
  // Decimal, or hexadecimal after "0x" or "$"; missing or malformed gives `fallback`.
  std::int32_t readInteger(std::string_view section, std::string_view key,
                           std::int32_t fallback) const;
  // An integer where non-zero is on; anything that is not an integer gives `fallback`.
  bool readFlag(std::string_view section, std::string_view key, bool fallback) const;
  // Decimal text with the locale's separator; missing or malformed gives `fallback`.
  double readReal(std::string_view section, std::string_view key, double fallback) const;

  // Each write rewrites the file at once, as a read-modify-write under an exclusive lock on
  // the file's folder: a file another program changed since it was read here is read again
  // first, so neither program's values are lost. Throws lumigrid::WriteError
  // "Unable to write to <path>" when the file cannot be written; the file is then unchanged.
  void writeString(std::string_view section, std::string_view key, std::string_view value);
  void writeInteger(std::string_view section, std::string_view key, std::int32_t value);
  void writeReal(std::string_view section, std::string_view key, double value);
  // The writes of `entries` in one rewrite: the file gets the bytes the writes one after the
  // other would give it, through a single temporary. Throws as writeString; the file and this
  // object are then unchanged. A file that would pass kMaxSettingsFileBytes is refused, as is
  // text that a UTF-16 file cannot hold (not UTF-8).
  void writeStrings(const std::vector<IniEntry>& entries);

 private:
  enum class Encoding : std::uint8_t { Utf8, Utf8Bom, Utf16Le, Utf16Be };
  // The end new lines take: the file's first line end (LF when it has none).
  enum class LineEnd : std::uint8_t { Lf, CrLf, Cr };
  // The file's lines as UTF-8 text, without byte-order mark, and the offset of each section's
  // "[name]" line in file order; a section runs to the next one's header.
  struct Text {
    std::string bytes;
    std::vector<std::size_t> sections;
  };

  // The name in section number `section`'s header line.
  std::string_view sectionName(std::size_t section) const;
  std::optional<std::size_t> findSection(std::string_view name) const;
  // The offset of the line holding `key` in section number `section`.
  std::optional<std::size_t> findKey(std::size_t section, std::string_view key) const;
  // Reads the file into this object; a file that cannot be read leaves it empty.
  void load();
  // Writes `text` in the file's encoding; throws when it cannot.
  void save(const Text& text) const;

  std::filesystem::path path_;
  char decimal_separator_;
  Text text_;
  Encoding encoding_ = Encoding::Utf8;
  LineEnd line_end_ = LineEnd::Lf;
  // The file exists but could not be read (or is too large, or not valid UTF-16): writing it
  // would lose what it holds.
  bool unreadable_ = false;
  // The file as it was when last read or written here, to tell whether another program has
  // changed it since.
  FileStamp stamp_;
  // Per section number: lower-cased key -> offset of the first line holding it; built on the
  // first read of the section, dropped by every write.
  mutable std::unordered_map<std::size_t, std::unordered_map<std::string, std::size_t>> key_index_;
};

// The number text of the settings file's reals: "%.15g" style with `decimal_separator`.
std::string format_real(double value, char decimal_separator);
// Optional blanks, sign, digits with at most one `decimal_separator`, optional exponent,
// optional blanks; anything else, or a value that does not fit a double, gives nothing.
std::optional<double> parse_real(std::string_view text, char decimal_separator);

}  // namespace lumigrid
