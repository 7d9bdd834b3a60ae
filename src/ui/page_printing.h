#pragma once
// Printing the printable page at its true size: the printer set up for the page's paper, and the
// page drawn at 100 % from the printable area's origin, one page pixel per 1/600 inch.
#include <QString>
#include <optional>

#include "export/image_export.h"
#include "surface/row_source.h"
#ifdef LUMIGRID_HAVE_CUPS
#include "print/print_layout.h"
#endif

class QPrinter;

namespace lumigrid {

// Chooses the paper the drawing area names (A5 to A0, B5 to B0); a display format or a typed
// size keeps the printer's own paper. The orientation follows the page's aspect.
void set_up_printer_for_page(QPrinter& printer, const RowSource& page, const QString& area_text);
inline void set_up_printer_for_page(QPrinter& printer, const Surface& page,
                                    const QString& area_text) {
  set_up_printer_for_page(printer, SurfaceRows(page), area_text);
}

// The question to ask before printing when the page does not fit the printer's printable area
// at 100 %; nothing when it fits.
std::optional<QString> page_overflow_question(const QPrinter& printer, const RowSource& page);
inline std::optional<QString> page_overflow_question(const QPrinter& printer, const Surface& page) {
  return page_overflow_question(printer, SurfaceRows(page));
}

#ifdef LUMIGRID_HAVE_CUPS
// The paper the print dialog ended on, as a print job asks for it.
std::optional<WantedPaper> chosen_paper(const QPrinter& printer);
#endif

// Prints the page on the printer as it is set up, never scaled to fit, handing it over in bands
// so that no copy of the whole page is made. Throws lumigrid::Error when the printer cannot
// start or fails.
void print_page(const RowSource& page, QPrinter& printer, const ProgressCallback& progress = {});
inline void print_page(const Surface& page, QPrinter& printer,
                       const ProgressCallback& progress = {}) {
  print_page(SurfaceRows(page), printer, progress);
}

}  // namespace lumigrid
