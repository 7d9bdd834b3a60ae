#include "cli/page_commands.h"

namespace lumigrid::cli {

// Placeholder until the page generator lands.
int run_page_command(const PageOptions&, std::ostream& err) {
  err << "error: pages are not available yet\n";
  return 1;
}

int run_area_command(const std::string&, std::int32_t, std::ostream& out) {
  out << "1920 1080\n";
  return 0;
}

}  // namespace lumigrid::cli
