#include "about/update_texts.h"

#include <cstdio>

namespace lumigrid::about {

std::string program_name_from_file_name(const std::string& file_name) {
  const std::size_t dot = file_name.rfind('.');
  if (dot == std::string::npos || dot == 0) return file_name;
  return file_name.substr(0, dot);
}

std::string about_caption(const std::string& program_name) {
  return "About " + program_name;
}

std::string update_base_url(const std::string& host, const std::string& program_name) {
  return "http://" + host + "/NAS_file_Share/" + program_name + "/";
}

std::string release_date_text(int year, int month, int day, const std::string& separator) {
  char year_text[16];
  char month_text[8];
  char day_text[8];
  std::snprintf(year_text, sizeof year_text, "%04d", year);
  std::snprintf(month_text, sizeof month_text, "%02d", month);
  std::snprintf(day_text, sizeof day_text, "%02d", day);
  return std::string(year_text) + separator + month_text + separator + day_text;
}

std::string version_line(const std::string& local_version, const std::string& release_date) {
  return "Ver: " + local_version + ", Released on " + release_date;
}

std::string date_separator_of_format(const std::string& short_date_format) {
  for (std::size_t i = 0; i < short_date_format.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(short_date_format[i]);
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (letter || c == '\'' || c == ' ') continue;
    // A separator may be a multi-byte UTF-8 character.
    std::size_t length = 1;
    while (i + length < short_date_format.size() &&
           (static_cast<unsigned char>(short_date_format[i + length]) & 0xC0) == 0x80) {
      ++length;
    }
    return short_date_format.substr(i, length);
  }
  return "/";
}

std::string status_text(const std::string& online_version) {
  return "Version:  " + online_version + "\r\navailable online";
}

std::string different_caption(const std::string& status) {
  return "Different " + status;
}

std::string up_to_date_caption(const std::string& online_version) {
  return "version up-to-date (" + online_version + ")";
}

std::string second_check_tooltip(const std::string& status) {
  return status + "\r\nClick to Download";
}

std::string download_question(const std::string& release_file_name,
                              const std::string& online_version) {
  return "File: " + release_file_name + "\r\nVersion: " + online_version + "\r\ndownload online?";
}

std::string download_error_text(const std::string& release_file_name) {
  return "Error while downloading " + release_file_name;
}

bool is_blank_release_name(const std::string& release_file_name) {
  for (char c : release_file_name) {
    if (static_cast<unsigned char>(c) > 32) return false;
  }
  return true;
}

bool is_safe_release_name(const std::string& release_file_name,
                          const std::string& settings_file_name) {
  // Only ASCII letters and digits, ".-_+" and blanks inside: nothing that a shell, a file
  // manager or a reader's eye takes for something else (control and format characters,
  // right-to-left overrides, look-alike letters, wildcards, query strings).
  const std::string& name = release_file_name;
  if (name.empty() || name.size() > kMaxReleaseNameLength) return false;
  if (name.front() == '.' || name.front() == ' ' || name.back() == ' ') return false;
  bool only_dots = true;
  for (char c : name) {
    const bool letter_or_digit =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letter_or_digit && c != '.' && c != '-' && c != '_' && c != '+' && c != ' ') return false;
    if (c != '.') only_dots = false;
  }
  if (only_dots) return false;
  // An ASCII name is its own compatibility form, so comparing in lower case after dropping the
  // trailing dots some systems ignore is the whole comparison.
  const auto significant = [](std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
    for (char& c : text)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
  };
  return settings_file_name.empty() ||
         significant(release_file_name) != significant(settings_file_name);
}

}  // namespace lumigrid::about
