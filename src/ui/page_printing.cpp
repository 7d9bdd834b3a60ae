#include "ui/page_printing.h"

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "base/errors.h"
#include "page/drawing_area.h"
#include "page/page_print.h"

namespace lumigrid {

namespace {

// Pixels handed to the printer at once: the printer converts and compresses a band at a time.
constexpr std::uint64_t kBandBytes = 8 << 20;

QString printer_name(const QPrinter& printer) {
  return printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
}

[[noreturn]] void throw_print_error(const QPrinter& printer) {
  throw Error(("Unable to print the page on " + printer_name(printer)).toStdString());
}

// The band's rows, read from the page one by one into an image of the band alone.
QImage band_image(const RowSource& page, const PrintBand& band) {
  QImage image(
      page.width(), band.rows,
      page.format() == PixelFormat::Gray8 ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
  if (image.isNull()) throw std::bad_alloc();
  const std::size_t bytes = page.rowBytes();
  for (std::int32_t r = 0; r < band.rows; ++r) {
    std::uint8_t* line = image.scanLine(r);
    const std::uint8_t* pixels = page.row(band.first_row + r, line);
    if (pixels != line) std::memcpy(line, pixels, bytes);
  }
  return image;
}

}  // namespace

void set_up_printer_for_page(QPrinter& printer, const RowSource& page, const QString& area_text) {
  const std::u16string text(reinterpret_cast<const char16_t*>(area_text.utf16()),
                            std::size_t(area_text.size()));
  if (const auto paper = drawing_area_paper(text)) {
    // Matched to the toolkit's named sizes (B4 to its JIS B4), which printers know by name.
    printer.setPageSize(QPageSize(QSizeF(paper->short_mm, paper->long_mm), QPageSize::Millimeter,
                                  QString(), QPageSize::FuzzyMatch));
  }
  printer.setPageOrientation(page_orientation(page.width(), page.height()) ==
                                     PageOrientation::Landscape
                                 ? QPageLayout::Landscape
                                 : QPageLayout::Portrait);
}

std::optional<QString> page_overflow_question(const QPrinter& printer, const RowSource& page) {
  // In millimetres: the toolkit rounds inches to two decimals, six page pixels.
  const QRectF printable_mm = printer.pageLayout().paintRect(QPageLayout::Millimeter);
  const double width_inches = printable_mm.width() / 25.4;
  const double height_inches = printable_mm.height() / 25.4;
  if (page_fits_printable_area(page.width(), page.height(), width_inches, height_inches)) {
    return std::nullopt;
  }
  return QString::fromStdString(
      lumigrid::page_overflow_question(page.width(), page.height(), width_inches, height_inches));
}

#ifdef LUMIGRID_HAVE_CUPS
std::optional<WantedPaper> chosen_paper(const QPrinter& printer) {
  const QPageSize size = printer.pageLayout().pageSize();
  if (!size.isValid()) return std::nullopt;
  const QSizeF mm = size.size(QPageSize::Millimeter);
  return paper_of_size(size.name().toStdString(), std::int32_t(std::lround(mm.width() * 100)),
                       std::int32_t(std::lround(mm.height() * 100)));
}
#endif

void print_page(const RowSource& page, QPrinter& printer, const ProgressCallback& progress) {
  QPainter painter;
  if (!painter.begin(&printer)) throw_print_error(printer);
  // The painter's origin is the printable area's top-left, in device units.
  const double x_units = device_units_per_page_pixel(printer.logicalDpiX());
  const double y_units = device_units_per_page_pixel(printer.logicalDpiY());
  // The rings must reach the paper as drawn: no smoothing, no lossy compression.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.setRenderHint(QPainter::LosslessImageRendering, true);
  const auto bands = print_bands(page.width(), page.height(), kBandBytes, y_units);
  try {
    for (const PrintBand& band : bands) {
      painter.drawImage(QRectF(0, band.device_top, page.width() * x_units, band.device_height),
                        band_image(page, band));
      if (progress) progress(double(band.first_row + band.rows) / page.height());
    }
  } catch (...) {
    printer.abort();  // nothing half-drawn reaches the paper
    painter.end();
    throw;
  }
  if (!painter.end() || printer.printerState() == QPrinter::Error) throw_print_error(printer);
}

}  // namespace lumigrid
