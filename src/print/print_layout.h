#pragma once
// Where a printable page goes on a print queue's paper, as pure arithmetic: which of the
// queue's papers the job asks for, where the page's top-left corner lies on the sheet (inside
// the queue's imageable area, on the 1/600-inch grid of the page's pixels), which pixels fit,
// and what the operator is told before the job is sent.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumigrid {

// A paper as a print queue describes it: its name for the job, its size and the margins round
// its imageable area, in hundredths of a millimetre (the queue's own unit), portrait.
struct PrintMedia {
  std::string keyword;  // "iso_a4_210x297mm"
  std::int32_t width = 0;
  std::int32_t length = 0;
  std::int32_t left = 0;
  std::int32_t right = 0;
  std::int32_t top = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const PrintMedia&, const PrintMedia&) = default;
};

// How a queue stands and what it offers.
struct PrintQueue {
  std::string name;
  bool accepting_jobs = true;
  bool paused = false;        // stopped: jobs wait until it is resumed
  std::string state_message;  // why, in the queue's words; may be empty
  std::vector<PrintMedia> media;
  std::optional<PrintMedia> default_media;
  // The custom sizes it takes, if any: the smallest and the largest sheet, and the margins
  // of a custom sheet.
  std::optional<PrintMedia> custom_min;
  std::optional<PrintMedia> custom_max;
  PrintMedia custom_margins;
  std::vector<std::int32_t> resolutions_dpi;  // the square resolutions it offers
  std::vector<std::string> colour_modes;      // print-color-mode-supported
  std::string make_and_model;                 // printer-make-and-model, cleaned
  // Served by CUPS (the answer has CUPS's printer-type): its filters take the job's
  // cm-calibration and leave its colours unconverted.
  bool cups_filters = false;
};

// A paper a job wants: the page's own (A5 to A0, B5 to B0) or one the operator picked.
struct WantedPaper {
  std::string name;     // "A4"
  std::string keyword;  // the standard media name, "iso_a4_210x297mm"
  std::int32_t width = 0;
  std::int32_t length = 0;
  friend bool operator==(const WantedPaper&, const WantedPaper&) = default;
};

// The paper the drawing-area text names, or nothing for a display format or a typed size.
std::optional<WantedPaper> page_paper(std::u16string_view area_text);

// A paper of a size, in hundredths of a millimetre (the operator's choice in a print dialog):
// one of the page sizes where it is one, else a custom size named `name`.
WantedPaper paper_of_size(const std::string& name, std::int32_t width, std::int32_t length);

// The paper the job asks for and how it was found.
struct MediaChoice {
  PrintMedia media;  // as the queue lists it
  // The paper's own size, portrait: the wanted paper's where the queue lists it rounded (to
  // whole points, say), else the media's.
  std::int32_t paper_width = 0;
  std::int32_t paper_length = 0;
  // false: the queue has no such paper and takes no custom size of it; `media` is its default.
  bool offered = true;
};

// The wanted paper as the queue lists it when it lists one within a millimetre of it, else as
// a custom size of exactly that paper when the queue takes one, else the queue's default
// paper. Without a wanted paper the queue's default paper. Throws lumigrid::Error when the
// queue names no paper at all.
MediaChoice choose_media(const PrintQueue& queue, const std::optional<WantedPaper>& wanted);

// The page on the sheet, in page pixels (1/600 inch) from the sheet's top-left corner as the
// page lies on it: a page and a sheet of different orientations turn the sheet (and its
// margins) a quarter.
struct SheetLayout {
  bool turned = false;
  // The sheet as the page lies on it and as the queue lists it, in hundredths of a
  // millimetre: the job's sheet is exactly the queue's, which then has nothing to centre.
  std::int32_t sheet_width = 0;
  std::int32_t sheet_height = 0;
  // The page's top-left corner: the imageable area's, moved onto the 600-dpi grid.
  std::int32_t left = 0;
  std::int32_t top = 0;
  // The page's pixels from its top-left corner that the imageable area holds.
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool cut_right = false;
  bool cut_bottom = false;
  // The sheet is the page's own size and the page covers all of it: the job is the page's
  // saved PDF as it is.
  bool page_is_sheet = false;
  friend bool operator==(const SheetLayout&, const SheetLayout&) = default;
};

// What fits is measured on the paper's own size, less the queue's margins.
SheetLayout lay_out_page(std::int32_t page_width, std::int32_t page_height,
                         const MediaChoice& choice);

// A page's print job: the paper it asks for and where the page lies on it.
struct PrintPlan {
  std::optional<WantedPaper> page_paper;  // the page's own paper, if it names one
  std::optional<WantedPaper> wanted;      // the paper asked for: the page's, or the operator's
  MediaChoice choice;
  SheetLayout layout;
  std::int32_t page_width = 0;
  std::int32_t page_height = 0;
};

PrintPlan plan_print(const PrintQueue& queue, std::int32_t page_width, std::int32_t page_height,
                     const std::optional<WantedPaper>& page_own,
                     const std::optional<WantedPaper>& wanted);

// "A4": the paper's name where it is one of the page sizes, else its keyword.
std::string paper_name(const PrintMedia& media);
// "A4 (210 x 297 mm)".
std::string paper_description(const PrintMedia& media);

// The sentences the operator reads before the job goes, in this order: the queue is paused;
// it has not the wanted paper; the page does not fit the imageable area (both papers named);
// it offers no 600 dpi. Empty when nothing stands in the way.
std::vector<std::string> print_warnings(const PrintQueue& queue, const PrintPlan& plan);

// Whether the queue offers 600 dpi, the page's own resolution.
bool offers_600_dpi(const PrintQueue& queue);

// Why a queue takes no job now ("Unable to print the page on Q: ..."), or nothing.
std::optional<std::string> queue_refusal(const PrintQueue& queue);

// A pattern's sheet as it is to be printed: on the whole of a paper, at a resolution, its
// colours going by a route.
struct SheetPrint {
  WantedPaper paper;
  std::int32_t dpi = 600;
  bool srgb = false;    // the sRGB route; else the device's values
  bool colour = true;   // a colour sheet; false: black and white only
  std::string pattern;  // the keys drawn: "6"
};

// The paper a sheet's name gives ("A4": iso_a4_210x297mm, "Letter": na_letter_8.5x11in), or
// nothing for a name that is none of the sheet papers.
std::optional<WantedPaper> sheet_wanted_paper(std::string_view name);

// The sentences the operator reads before a sheet is sent, in this order: the queue is paused;
// it has not the paper; it offers not the sheet's resolution; it prints no colour; the device
// route on a queue with no way to turn its colour management off; a PDF printer whose settings
// resample colour images (cups-pdf's prepress default takes those above 450 ppi to 300).
std::vector<std::string> sheet_warnings(const PrintQueue& queue, const MediaChoice& choice,
                                        const SheetPrint& sheet);

// "Pattern 6 on A4, 600 dpi, device values": the job's name, which says the colour route.
std::string sheet_job_name(const SheetPrint& sheet);

// The job's name: the page's drawing-area text, "A4 600 dpi 7016x4961"; a page built from an
// empty text is named after its size.
std::string print_job_name(std::string_view area_text_utf8, std::int32_t page_width,
                           std::int32_t page_height);

}  // namespace lumigrid
