#include "base/temporary_files.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>

namespace lumigrid {
namespace {

// Slots the signal handler reads: a path is copied in before its slot is marked live, and the
// handler only calls unlink and rmdir, which are async-signal-safe.
constexpr int kSlots = 64;
constexpr int kFree = 0, kFilling = 1, kLive = 2;
struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};
std::array<Slot, kSlots> g_slots;

extern "C" void remove_live_temporaries(int signal_number) {
  const int saved_errno = errno;
  for (auto& slot : g_slots)
    if (slot.state.load(std::memory_order_acquire) == kLive) ::unlink(slot.path);
  // Then the folders, emptied by the files above whatever order they were registered in; a
  // folder that still holds something else stays.
  for (auto& slot : g_slots)
    if (slot.state.load(std::memory_order_acquire) == kLive) ::rmdir(slot.path);
  errno = saved_errno;
  // SA_RESETHAND put the default action back; the signal is delivered again on return and
  // ends the process as it would have without us.
  ::raise(signal_number);
}

void install_handlers() {
  for (int signal_number : {SIGINT, SIGTERM}) {
    struct sigaction current {};
    if (::sigaction(signal_number, nullptr, &current) != 0) continue;
    // A handler someone else installed (or an ignored signal) stays theirs.
    if (current.sa_handler != SIG_DFL || (current.sa_flags & SA_SIGINFO)) continue;
    struct sigaction action {};
    action.sa_handler = remove_live_temporaries;
    sigemptyset(&action.sa_mask);
    // sa_flags is a bit set held in an int; SA_RESETHAND is its top bit.
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    ::sigaction(signal_number, &action, nullptr);
  }
}

// The process id of a temporary named prefix + id + "_" + digits, or 0 for any other name.
pid_t owner_of(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix)) return 0;
  name.remove_prefix(prefix.size());
  const auto underscore = name.find('_');
  if (underscore == 0 || underscore == std::string_view::npos || underscore > 9) return 0;
  long long pid = 0;
  for (char c : name.substr(0, underscore)) {
    if (c < '0' || c > '9') return 0;
    pid = pid * 10 + (c - '0');
  }
  const std::string_view number = name.substr(underscore + 1);
  if (number.empty() || number.size() > 20) return 0;
  for (char c : number)
    if (c < '0' || c > '9') return 0;
  return pid > 0 && pid <= INT_MAX ? pid_t(pid) : 0;
}

}  // namespace

std::string temporary_prefix(std::string_view lead, const std::string& file_name,
                             std::string_view tail) {
  // Room for the widest process id and number: 20 digits each and the "_".
  constexpr std::size_t kNameMax = 255;
  constexpr std::size_t kSuffixMax = 20 + 1 + 20;
  const std::size_t room =
      kNameMax - kSuffixMax - std::min(lead.size() + tail.size(), kNameMax - kSuffixMax);
  std::size_t keep = std::min(file_name.size(), room);
  // Never split a UTF-8 sequence: back up over continuation bytes.
  while (keep > 0 && keep < file_name.size() &&
         (static_cast<unsigned char>(file_name[keep]) & 0xC0) == 0x80)
    --keep;
  std::string prefix(lead);
  prefix.append(file_name, 0, keep).append(tail);
  return prefix;
}

std::string temporary_name(const std::string& prefix, unsigned long long number) {
  return prefix + std::to_string(::getpid()) + "_" + std::to_string(number);
}

void remove_stale_temporaries(const std::filesystem::path& folder, const std::string& prefix) {
  const std::filesystem::path where = folder.empty() ? "." : folder;
  DIR* dir = ::opendir(where.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t pid = owner_of(entry->d_name, prefix);
    if (pid == 0 || pid == ::getpid()) continue;
    // Only a process that no longer exists has surely abandoned its temporary.
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
    ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

LiveTemporary::LiveTemporary(const std::filesystem::path& path) {
  static std::once_flag installed;
  std::call_once(installed, install_handlers);
  const std::string& text = path.native();
  if (text.size() >= PATH_MAX) return;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (g_slots[std::size_t(i)].state.compare_exchange_strong(expected, kFilling,
                                                              std::memory_order_acquire)) {
      std::memcpy(g_slots[std::size_t(i)].path, text.c_str(), text.size() + 1);
      g_slots[std::size_t(i)].state.store(kLive, std::memory_order_release);
      slot_ = i;
      return;
    }
  }
  // Every slot taken: this temporary is not removed by a signal, only by a later save.
}

LiveTemporary::~LiveTemporary() {
  release();
}

void LiveTemporary::release() noexcept {
  if (slot_ < 0) return;
  g_slots[std::size_t(slot_)].state.store(kFree, std::memory_order_release);
  slot_ = -1;
}

}  // namespace lumigrid
