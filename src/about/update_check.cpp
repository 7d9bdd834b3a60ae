#include "about/update_check.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "about/transport.h"
#include "about/update_index.h"
#include "about/update_texts.h"
#include "base/errors.h"

#ifndef LUMIGRID_UPDATE_HOST
#error "LUMIGRID_UPDATE_HOST must be set by the build"
#endif
#ifndef LUMIGRID_DOC_URL
#error "LUMIGRID_DOC_URL must be set by the build"
#endif

namespace lumigrid::about {
namespace {

void fail_check(UpdateState& state, UpdateView& view) {
  state.update_status_text = kCheckFailedText;
  view.set_download_caption(state.update_status_text);
}

void store_index(UpdateState& state, const ReleaseIndex& index) {
  state.release_file_name = index.file_name;
  state.online_version = index.version;
  state.release_website = index.website;
}

std::string read_whole_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw Error("Cannot open file \"" + path + "\"");
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) throw Error("Cannot read file \"" + path + "\"");
  return bytes;
}

bool is_web_address(const std::string& address) {
  std::string scheme;
  for (char c : address) {
    if (c == ':') break;
    scheme.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
  }
  return (scheme == "http" || scheme == "https") && address.compare(scheme.size(), 3, "://") == 0;
}

}  // namespace

UpdateSettings& update_settings() {
  static UpdateSettings settings{LUMIGRID_UPDATE_HOST, LUMIGRID_DOC_URL};
  return settings;
}

bool run_first_check(UpdateState& state, UpdateView& view, const std::string& index_path) {
  state.update_status_text.clear();
  if (!download_file(state.update_base_url + kIndexFileName, index_path, kIndexBodyLimit)) {
    fail_check(state, view);
    return false;
  }
  const std::string bytes = read_whole_file(index_path);
  ReleaseIndex index;
  try {
    index = parse_index(index_bytes_to_text(bytes));
  } catch (const IndexError&) {
    // An index that cannot be used is a check that failed, as in the second check.
    fail_check(state, view);
    return false;
  }
  store_index(state, index);
  state.update_status_text = status_text(state.online_version);
  view.set_download_tooltip(state.online_version);
  view.set_download_caption(versions_differ(state.local_version, state.online_version)
                                ? different_caption(state.update_status_text)
                                : up_to_date_caption(state.online_version));
  return true;
}

bool run_second_check(UpdateState& state, UpdateView& view) {
  state.update_status_text.clear();
  try {
    const std::string body = http_get(state.update_base_url + kIndexFileName, kIndexBodyLimit);
    // Read whole before anything is stored: a failed check keeps the last good values.
    store_index(state, parse_index(index_bytes_to_text(body)));
    view.set_web_tooltip(state.release_website);
    state.update_status_text = status_text(state.online_version);
    view.set_download_tooltip(second_check_tooltip(state.update_status_text));
    if (versions_differ(state.local_version, state.online_version)) {
      view.set_download_caption(different_caption(state.update_status_text));
    }
    return true;
  } catch (const std::exception&) {
    fail_check(state, view);
    return false;
  }
}

void run_download_action(UpdateState& state, UpdateView& view,
                         const std::string& executable_folder) {
  if (view.ask(download_question(state.release_file_name, state.online_version)) != Answer::Yes) {
    return;
  }
  if (is_blank_release_name(state.release_file_name)) return;
  // The name comes from the network: one that would reach outside the executable's folder is
  // refused before anything is written.
  if (!is_safe_release_name(state.release_file_name)) {
    view.tell(download_error_text(state.release_file_name));
    return;
  }
  const std::string target =
      (std::filesystem::path(executable_folder) / state.release_file_name).string();
  if (download_file(state.update_base_url + state.release_file_name, target)) {
    view.open_file(target);
  } else {
    view.tell(download_error_text(state.release_file_name));
  }
}

std::string web_button_url(const UpdateState& state, const std::string& documentation_url) {
  const std::string& chosen =
      state.release_website.empty() ? documentation_url : state.release_website;
  return is_web_address(chosen) ? chosen : std::string();
}

}  // namespace lumigrid::about
