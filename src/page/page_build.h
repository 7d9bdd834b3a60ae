#pragma once
// Building a printable page for a drawing-area text: size, bitmap, name and drawing, done
// headlessly so that the window only takes the finished page.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "page/chart_page.h"
#include "page/printable_chart.h"
#include "surface/surface.h"

namespace lumigrid {

// The dots per inch the drawing-area list asks paper sizes for.
inline constexpr std::int32_t kPageDpi = 600;

// Bytes a page holds (one byte per pixel), in 64 bits; negative sides count as empty.
std::uint64_t page_byte_count(std::int64_t width, std::int64_t height);

// Memory a new page may take: MemAvailable of /proc/meminfo less the working room of the page
// generator; where that cannot be read, half the physical memory, or 2 GiB.
std::uint64_t available_page_memory();

// A white Gray8 page. Throws lumigrid::Error "Not enough memory for a page of W x H pixels"
// before allocating anything when the page's bytes exceed `available_bytes` (or when the
// system refuses the memory), and lumigrid::Error on a negative side.
Surface make_page(std::int32_t width, std::int32_t height, std::uint64_t available_bytes);
Surface make_page(std::int32_t width, std::int32_t height);

struct PageBuild {
  Surface page;
  std::u16string name;  // the drawing-area text the page was built from
};

struct PageRequest {
  ChartParameters chart;
  std::int32_t pixels_per_inch = 96;  // the screen's, for the caption's font size
};

// Sizes a page for `text` at 600 dpi, makes it, names it after the text and draws the chart.
// A failure throws before anything is returned, so a caller holding the previous page keeps it.
PageBuild build_page(std::u16string_view text, const PageRequest& request,
                     const ProgressCallback& progress = {});
PageBuild build_page(std::u16string_view text, const PageRequest& request,
                     std::uint64_t available_bytes, const ProgressCallback& progress = {});

// The same page as a description (chart_page.h): what the program shows, saves and prints, in
// memory for its small page and caption rather than for the whole page. `available_bytes`
// bounds the description; the same messages as build_page.
struct ChartPageBuild {
  std::shared_ptr<const ChartPage> page;
  std::u16string name;
};
ChartPageBuild build_chart_page(std::u16string_view text, const PageRequest& request,
                                std::uint64_t available_bytes,
                                const ProgressCallback& progress = {});
ChartPageBuild build_chart_page(std::u16string_view text, const PageRequest& request,
                                const ProgressCallback& progress = {});

}  // namespace lumigrid
