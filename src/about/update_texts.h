#pragma once
// Texts and names of the About window and its update check, as pure functions: the window only
// applies what these return.
#include <cstddef>
#include <string>

namespace lumigrid::about {

inline constexpr const char* kCheckFailedText = "Web site upgrade not available.";
inline constexpr const char* kCheckForUpdateCaption = "Check for Update";
inline constexpr const char* kWebButtonCaption = "More Online information ";
inline constexpr const char* kIndexFileName = "index.json";

// The program's name: the executable's file name without its extension, when it has one.
std::string program_name_from_file_name(const std::string& file_name);

// "About " + program name.
std::string about_caption(const std::string& program_name);

// "http://" + host + "/NAS_file_Share/" + program name + "/".
std::string update_base_url(const std::string& host, const std::string& program_name);

// The release date in the pattern yyyy/mm/dd, each "/" replaced by `separator`.
std::string release_date_text(int year, int month, int day, const std::string& separator);

// "Ver: " + version + ", Released on " + date.
std::string version_line(const std::string& local_version, const std::string& release_date);

// The date separator of a locale's short date format (such as "dd.MM.yyyy"): its first
// character that is not a letter, a quote or a blank; "/" when it has none.
std::string date_separator_of_format(const std::string& short_date_format);

// "Version:  " + online version + CR LF + "available online".
std::string status_text(const std::string& online_version);

// Caption when the running and the published versions differ.
std::string different_caption(const std::string& status_text);

// Caption of the first check when they are equal.
std::string up_to_date_caption(const std::string& online_version);

// Download button tooltip after the second check.
std::string second_check_tooltip(const std::string& status_text);

// The confirmation box of the download button.
std::string download_question(const std::string& release_file_name,
                              const std::string& online_version);

// The message box of a failed or refused release download.
std::string download_error_text(const std::string& release_file_name);

// Versions are compared as texts, exactly: any difference counts.
inline bool versions_differ(const std::string& local_version, const std::string& online_version) {
  return local_version != online_version;
}

// True when nothing is left of the name after removing leading and trailing characters of
// code 32 or below.
bool is_blank_release_name(const std::string& release_file_name);

// The release file name comes from the network and becomes a path in the executable's folder:
// it must name a file in that folder and nothing else, and read as what it is. Takes only ASCII
// letters and digits, ".-_+" and blanks inside the name, up to kMaxReleaseNameLength bytes;
// refuses names made only of dots (".."), hidden names (a leading dot: ".bashrc") and the
// settings file's own name in any case (trailing dots aside, which some systems drop).
// A file name's longest length on the file systems the program runs on.
inline constexpr std::size_t kMaxReleaseNameLength = 255;
bool is_safe_release_name(const std::string& release_file_name,
                          const std::string& settings_file_name);

}  // namespace lumigrid::about
