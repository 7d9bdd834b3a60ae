// The parts of the About window's update module that need no network: the build-time
// addresses, the web button's page and the window's default download run. They are built with
// and without the online check.
#include <string>

#include "about/update_check.h"

#ifndef LUMIGRID_UPDATE_HOST
#error "LUMIGRID_UPDATE_HOST must be set by the build"
#endif
#ifndef LUMIGRID_DOC_URL
#error "LUMIGRID_DOC_URL must be set by the build"
#endif

namespace lumigrid::about {
namespace {

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

bool UpdateView::runDownload(
    const std::function<bool(const std::atomic<bool>& cancel,
                             const std::function<void(std::int64_t, std::int64_t)>& progress)>&
        download) {
  const std::atomic<bool> never{false};
  return download(never, {});
}

std::string web_button_url(const UpdateState& state, const std::string& documentation_url) {
  const std::string& chosen =
      state.release_website.empty() ? documentation_url : state.release_website;
  return is_web_address(chosen) ? chosen : std::string();
}

}  // namespace lumigrid::about
