#include "about/update_check.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "about/transport.h"
#include "about/update_index.h"
#include "about/update_texts.h"
#include "base/errors.h"

namespace lumigrid::about {
namespace {

void fail_check(UpdateState& state, UpdateView& view) {
  state.update_status_text = kCheckFailedText;
  view.setDownloadCaption(state.update_status_text);
}

void store_index(UpdateState& state, const ReleaseIndex& index) {
  state.release_file_name = index.file_name;
  state.online_version = index.version;
  state.release_website = index.website;
}

std::string read_whole_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw Error("Cannot open file \"" + path + "\"");
  std::string bytes;
  char chunk[64 * 1024];
  while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
    bytes.append(chunk, static_cast<std::size_t>(file.gcount()));  // 0 to sizeof chunk
  }
  if (file.bad()) throw Error("Cannot read file \"" + path + "\"");
  return bytes;
}

}  // namespace

CheckOutcome fetch_first_check(const std::string& update_base_url, const std::string& index_path,
                               const std::atomic<bool>* cancel) {
  TransferOptions options;
  options.cancel = cancel;
  if (!download_file(update_base_url + kIndexFileName, index_path, options)) {
    return [](UpdateState& state, UpdateView& view) {
      state.update_status_text.clear();
      fail_check(state, view);
      return false;
    };
  }
  std::string bytes;
  std::string read_error;
  try {
    bytes = read_whole_file(index_path);
  } catch (const Error& error) {
    read_error = error.what();
  }
  return [bytes = std::move(bytes), read_error = std::move(read_error)](UpdateState& state,
                                                                        UpdateView& view) {
    state.update_status_text.clear();
    if (!read_error.empty()) throw Error(read_error);
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
    view.setDownloadTooltip(state.online_version);
    view.setDownloadCaption(versions_differ(state.local_version, state.online_version)
                                ? different_caption(state.update_status_text)
                                : up_to_date_caption(state.online_version));
    return true;
  };
}

CheckOutcome fetch_second_check(const std::string& update_base_url,
                                const std::atomic<bool>* cancel) {
  std::string body;
  bool fetched = false;
  try {
    TransferOptions options;
    options.cancel = cancel;
    body = http_get(update_base_url + kIndexFileName, options);
    fetched = true;
  } catch (const std::exception&) {
    fetched = false;
  }
  return [body = std::move(body), fetched](UpdateState& state, UpdateView& view) {
    state.update_status_text.clear();
    try {
      if (!fetched) throw IndexError("no index");
      // Read whole before anything is stored: a failed check keeps the last good values.
      store_index(state, parse_index(index_bytes_to_text(body)));
      view.setWebTooltip(state.release_website);
      state.update_status_text = status_text(state.online_version);
      view.setDownloadTooltip(second_check_tooltip(state.update_status_text));
      if (versions_differ(state.local_version, state.online_version)) {
        view.setDownloadCaption(different_caption(state.update_status_text));
      }
      return true;
    } catch (const std::exception&) {
      fail_check(state, view);
      return false;
    }
  };
}

bool run_first_check(UpdateState& state, UpdateView& view, const std::string& index_path) {
  return fetch_first_check(state.update_base_url, index_path)(state, view);
}

bool run_second_check(UpdateState& state, UpdateView& view) {
  return fetch_second_check(state.update_base_url)(state, view);
}

CheckQueue::CheckQueue(Deliver deliver) : deliver_(std::move(deliver)) {
  thread_ = std::thread([this] { run(); });
}

CheckQueue::~CheckQueue() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    waiting_.clear();
  }
  cancel_ = true;
  wake_.notify_all();
  thread_.join();
}

void CheckQueue::submit(Network network) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.push_back(std::move(network));
  }
  wake_.notify_all();
}

void CheckQueue::run() {
  for (;;) {
    Network network;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
      if (stopping_) return;
      network = std::move(waiting_.front());
      waiting_.pop_front();
    }
    CheckOutcome outcome = network(cancel_);
    if (cancel_) return;
    deliver_(std::move(outcome));
  }
}

void run_download_action(UpdateState& state, UpdateView& view, const std::string& executable_folder,
                         const std::string& settings_file_name) {
  if (view.ask(download_question(state.release_file_name, state.online_version)) != Answer::Yes) {
    return;
  }
  if (is_blank_release_name(state.release_file_name)) return;
  // The name comes from the network: one that would reach outside the executable's folder, hide
  // itself or take the settings file's place is refused before anything is written.
  if (!is_safe_release_name(state.release_file_name, settings_file_name)) {
    view.tell(download_error_text(state.release_file_name));
    return;
  }
  const std::string target =
      (std::filesystem::path(executable_folder) / state.release_file_name).string();
  const std::string url = state.update_base_url + state.release_file_name;
  const bool downloaded = view.runDownload(
      [&url, &target](const std::atomic<bool>& cancel,
                      const std::function<void(std::int64_t, std::int64_t)>& progress) {
        TransferOptions options;
        options.body_limit = kReleaseBodyLimit;
        options.deadline = request_deadlines().release;
        options.cancel = &cancel;
        options.progress = progress;
        return download_file(url, target, options);
      });
  if (downloaded) {
    view.openFile(target);
  } else if (!view.downloadCancelled()) {
    view.tell(download_error_text(state.release_file_name));
  }
}

}  // namespace lumigrid::about
