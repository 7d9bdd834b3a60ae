#pragma once
// The settings file's INI format, read and written with the classic INI rules: section and
// key names match without regard to (ASCII) case, blanks around names and values are ignored,
// sections keep their file order, a write changes the value where it stands or adds the key at
// the end of its section, a new section goes at the end, and every write reaches the disk at
// once. Lines the class does not understand are kept as they are.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lumigrid {

class IniFile {
 public:
  // Reads `path` now; a missing or unreadable file reads as empty. `decimal_separator` is the
  // locale's, used for reals in both directions.
  explicit IniFile(std::filesystem::path path, char decimal_separator = '.');

  const std::filesystem::path& path() const { return path_; }

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

  // Each write rewrites the file at once. Throws lumigrid::WriteError
  // "Unable to write to <path>" when the file cannot be written; the file is then unchanged.
  void writeString(std::string_view section, std::string_view key, std::string_view value);
  void writeInteger(std::string_view section, std::string_view key, std::int32_t value);
  void writeReal(std::string_view section, std::string_view key, double value);

 private:
  struct Section {
    std::string name;
    std::size_t header_line;  // index of the "[name]" line
    std::size_t end_line;     // one past the section's last line
  };
  struct KeyLine {
    std::size_t line;
    std::string key;  // as spelt in the file
  };

  void parse();
  const Section* findSection(std::string_view name) const;
  std::optional<KeyLine> findKey(const Section& section, std::string_view key) const;
  // Writes the file and returns its new bytes.
  std::string saveLines(const std::vector<std::string>& lines,
                        const std::vector<std::string>& ends) const;

  std::filesystem::path path_;
  char decimal_separator_;
  std::vector<std::string> lines_;  // without line ends
  std::vector<std::string> ends_;   // each line's own end: CR LF, LF, CR, or none for the last
  std::string line_end_ = "\n";     // for new lines: the file's first line end
  std::string original_;            // the file's bytes as read or last written
  bool utf8_bom_ = false;
  std::vector<Section> sections_;
  // The file exists but could not be read: writing it would lose what it holds.
  bool unreadable_ = false;
  // Lower-cased key -> first line holding it, per section; built on first use.
  mutable std::vector<std::optional<std::unordered_map<std::string, std::size_t>>> key_index_;
};

// The number text of the settings file's reals: "%.15g" style with `decimal_separator`.
std::string format_real(double value, char decimal_separator);
// Optional blanks, sign, digits with at most one `decimal_separator`, optional exponent,
// optional blanks; anything else, or a value that does not fit a double, gives nothing.
std::optional<double> parse_real(std::string_view text, char decimal_separator);

}  // namespace lumigrid
