#include "cli/page_commands.h"

#include <exception>
#include <iostream>
#include <string>

#include "base/utf.h"
#include "cli/terminal_progress.h"
#include "export/image_export.h"
#include "page/drawing_area.h"
#include "page/page_build.h"

namespace lumigrid::cli {

int run_page_command(const PageOptions& options, std::ostream& err) {
  ProgressBar bar(err);
  try {
    const PageRequest request{{options.space, options.pitch, options.pitch2}, options.ppi};
    const PageBuild build =
        build_page(utf16_from_utf8(options.text), request, bar.phase("building page"));
    if (options.output) save_image(build.page, *options.output, bar.phase("saving page"));
    bar.finish();
    return 0;
  } catch (const std::exception& e) {
    bar.finish();
    err << "error: " << e.what() << '\n';
    return 1;
  }
}

int run_area_command(const std::string& text, std::int32_t dpi, std::ostream& out) {
  const AreaSize size = drawing_area_size(std::string_view(text), dpi);
  out << size.width << ' ' << size.height << '\n';
  return 0;
}

}  // namespace lumigrid::cli
