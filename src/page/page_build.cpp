#include "page/page_build.h"

#include <unistd.h>

#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <system_error>

#include "base/errors.h"
#include "page/drawing_area.h"

namespace lumigrid {

namespace {

// Room the page generator needs beside the page: the scratch tile and the process itself.
constexpr std::uint64_t kWorkingRoom = 64ull << 20;
constexpr std::uint64_t kFallbackLimit = 2ull << 30;

// MemAvailable in bytes, or 0 when /proc/meminfo does not give it.
std::uint64_t meminfo_available() {
  std::ifstream meminfo("/proc/meminfo");
  std::string line;
  while (std::getline(meminfo, line)) {
    if (line.rfind("MemAvailable:", 0) != 0) continue;
    std::istringstream fields(line.substr(13));
    std::uint64_t kib = 0;
    std::string unit;
    if (fields >> kib >> unit && unit == "kB" && kib < (UINT64_MAX >> 10)) return kib << 10;
    return 0;
  }
  return 0;
}

}  // namespace

std::uint64_t page_byte_count(std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0) return 0;
  return std::uint64_t(width) * std::uint64_t(height);  // each side < 2^31
}

std::uint64_t available_page_memory() {
  std::uint64_t available = meminfo_available();
  if (available == 0) {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGESIZE);
    available = (pages > 0 && page_size > 0) ? std::uint64_t(pages) * std::uint64_t(page_size) / 2
                                             : kFallbackLimit;
  }
  return available > kWorkingRoom ? available - kWorkingRoom : 0;
}

Surface make_page(std::int32_t width, std::int32_t height, std::uint64_t available_bytes) {
  if (width < 0 || height < 0) {
    throw Error("Invalid page size " + std::to_string(width) + " x " + std::to_string(height));
  }
  if (page_byte_count(width, height) > available_bytes) {
    throw Error(not_enough_memory_for_page(width, height));
  }
  try {
    return Surface(width, height, PixelFormat::Gray8, kWhite);
  } catch (const std::bad_alloc&) {
    throw Error(not_enough_memory_for_page(width, height));
  }
}

Surface make_page(std::int32_t width, std::int32_t height) {
  return make_page(width, height, available_page_memory());
}

PageBuild build_page(std::u16string_view text, const PageRequest& request,
                     std::uint64_t available_bytes, const ProgressCallback& progress) {
  const AreaSize size = drawing_area_size(text, kPageDpi);
  PageBuild build{make_page(size.width, size.height, available_bytes), std::u16string(text)};
  build.page.setPixelsPerInch(request.pixels_per_inch);
  try {
    draw_printable_chart_fast(build.page, request.chart.space, request.chart.pitch,
                              request.chart.pitch2, progress);
  } catch (const std::bad_alloc&) {
    throw Error(not_enough_memory_for_page(size.width, size.height));
  } catch (const std::system_error& e) {
    // A drawing thread the system could not start.
    if (e.code() != std::errc::resource_unavailable_try_again) throw;
    throw Error(not_enough_memory_for_page(size.width, size.height));
  }
  return build;
}

PageBuild build_page(std::u16string_view text, const PageRequest& request,
                     const ProgressCallback& progress) {
  return build_page(text, request, available_page_memory(), progress);
}

ChartPageBuild build_chart_page(std::u16string_view text, const PageRequest& request,
                                std::uint64_t available_bytes, const ProgressCallback& progress) {
  const AreaSize size = drawing_area_size(text, kPageDpi);
  return {ChartPage::make(size.width, size.height, request.chart, request.pixels_per_inch,
                          available_bytes, progress),
          std::u16string(text)};
}

ChartPageBuild build_chart_page(std::u16string_view text, const PageRequest& request,
                                const ProgressCallback& progress) {
  return build_chart_page(text, request, available_page_memory(), progress);
}

}  // namespace lumigrid
