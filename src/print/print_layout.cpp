#include "print/print_layout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/errors.h"
#include "page/drawing_area.h"
#include "print/server_text.h"

namespace lumigrid {

namespace {

constexpr std::int64_t kHundredthsPerInch = 2540;
constexpr std::int64_t kDotsPerInch = 600;
// How far apart two sizes of the same paper may be: queues round their papers to whole points.
constexpr std::int32_t kSamePaper = 100;

constexpr std::array<std::u16string_view, 12> kPaperNames = {
    u"A5", u"A4", u"A3", u"A2", u"A1", u"A0", u"B5", u"B4", u"B3", u"B2", u"B1", u"B0"};

// Hundredths of a millimetre to page pixels: the first whole pixel at or past the edge.
std::int32_t pixels_from(std::int64_t hundredths) {
  return std::int32_t((hundredths * kDotsPerInch + kHundredthsPerInch - 1) / kHundredthsPerInch);
}

// The pixels before an edge, a pixel counting when at least half of it lies before the edge: the
// paper sizes' pixels are rounded to the nearest whole one (A4's 7016 on 297 mm).
std::int32_t pixels_to(std::int64_t hundredths) {
  return std::int32_t((hundredths * kDotsPerInch * 2 + kHundredthsPerInch) /
                      (2 * kHundredthsPerInch));
}

// A margin as a sheet can have it: none or more, at most the side it lies along. A queue's
// numbers come from its server, which may send any 32-bit value.
std::int32_t margin_on(std::int32_t margin, std::int32_t side) {
  return std::clamp(margin, std::int32_t{0}, std::max(std::int32_t{0}, side));
}

// "(the server says "...")" after a queue's state, or nothing without a message.
std::string state_reason(const PrintQueue& queue) {
  const std::string says = server_says(queue.state_message);
  return says.empty() ? "" : " (" + says + ")";
}

bool near(std::int32_t a, std::int32_t b) {
  return std::abs(std::int64_t(a) - b) <= kSamePaper;
}

bool same_size(std::int32_t width, std::int32_t length, const PrintMedia& media) {
  return (near(width, media.width) && near(length, media.length)) ||
         (near(width, media.length) && near(length, media.width));
}

// "297.0 x 210.0 mm".
std::string millimetres_pair(double width_mm, double height_mm) {
  char text[96];
  std::snprintf(text, sizeof text, "%.1f x %.1f mm", width_mm, height_mm);
  return text;
}

// "210" or "215.9": millimetres from hundredths, to a tenth.
std::string millimetres(std::int32_t hundredths) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", hundredths / 100.0);
  std::string value = text;
  if (value.size() > 2 && value.compare(value.size() - 2, 2, ".0") == 0)
    value.resize(value.size() - 2);
  return value;
}

std::optional<WantedPaper> paper_named(std::u16string_view name) {
  const auto paper = drawing_area_paper(name);
  if (!paper) return std::nullopt;
  WantedPaper wanted;
  for (const char16_t c : paper->name) wanted.name += char(c);  // "A4": ASCII
  wanted.width = std::int32_t(paper->short_mm * 100);
  wanted.length = std::int32_t(paper->long_mm * 100);
  std::string lower = wanted.name;
  lower[0] = char(lower[0] - 'A' + 'a');
  // B4 is the JIS size, the others ISO 216.
  wanted.keyword = (wanted.name == "B4" ? "jis_" : "iso_") + lower + "_" +
                   millimetres(wanted.width) + "x" + millimetres(wanted.length) + "mm";
  return wanted;
}

std::string page_size_text(const PrintPlan& plan) {
  const double per_pixel = 25.4 / double(kDotsPerInch);
  const std::string size =
      millimetres_pair(plan.page_width * per_pixel, plan.page_height * per_pixel);
  if (plan.page_paper) return plan.page_paper->name + " paper, " + size;
  return std::to_string(plan.page_width) + " x " + std::to_string(plan.page_height) + " pixels, " +
         size;
}

}  // namespace

std::optional<WantedPaper> page_paper(std::u16string_view area_text) {
  const auto paper = drawing_area_paper(area_text);
  if (!paper) return std::nullopt;
  return paper_named(paper->name);
}

WantedPaper paper_of_size(const std::string& name, std::int32_t width, std::int32_t length) {
  if (width > length) std::swap(width, length);
  for (const std::u16string_view page_size : kPaperNames) {
    const auto paper = paper_named(page_size);
    if (paper && near(paper->width, width) && near(paper->length, length)) return *paper;
  }
  const std::string size = millimetres(width) + "x" + millimetres(length) + "mm";
  return {name, "custom_" + size + "_" + size, width, length};
}

MediaChoice choose_media(const PrintQueue& queue, const std::optional<WantedPaper>& wanted) {
  if (wanted) {
    for (const PrintMedia& media : queue.media) {
      if (!same_size(wanted->width, wanted->length, media)) continue;
      const bool turned = (media.width > media.length) != (wanted->width > wanted->length);
      return {media, turned ? wanted->length : wanted->width,
              turned ? wanted->width : wanted->length, true};
    }
    if (queue.custom_min && queue.custom_max && wanted->width >= queue.custom_min->width &&
        wanted->length >= queue.custom_min->length && wanted->width <= queue.custom_max->width &&
        wanted->length <= queue.custom_max->length) {
      PrintMedia chosen = queue.custom_margins;
      chosen.keyword = wanted->keyword;
      chosen.width = wanted->width;
      chosen.length = wanted->length;
      return {chosen, wanted->width, wanted->length, true};
    }
  }
  const auto own_size = [&](const PrintMedia& media) {
    return MediaChoice{media, media.width, media.length, !wanted};
  };
  if (queue.default_media) return own_size(*queue.default_media);
  if (!queue.media.empty()) return own_size(queue.media.front());
  throw Error("Unable to print the page on " + queue.name + ": the printer names no paper");
}

SheetLayout lay_out_page(std::int32_t page_width, std::int32_t page_height,
                         const MediaChoice& choice) {
  const PrintMedia& media = choice.media;
  SheetLayout layout;
  // A page and a sheet of different orientations: the sheet is turned a quarter, its left
  // edge becoming the top (the page turned counterclockwise on it, as printers turn landscape).
  layout.turned = (page_width > page_height) != (media.width > media.length);
  const std::int32_t media_left = margin_on(media.left, media.width);
  const std::int32_t media_right = margin_on(media.right, media.width);
  const std::int32_t media_top = margin_on(media.top, media.length);
  const std::int32_t media_bottom = margin_on(media.bottom, media.length);
  std::int32_t left = media_left, top = media_top, right = media_right, bottom = media_bottom;
  layout.sheet_width = media.width;
  layout.sheet_height = media.length;
  std::int32_t paper_width = choice.paper_width, paper_height = choice.paper_length;
  if (layout.turned) {
    std::swap(layout.sheet_width, layout.sheet_height);
    std::swap(paper_width, paper_height);
    left = media_bottom;
    top = media_left;
    right = media_top;
    bottom = media_right;
  }
  layout.left = pixels_from(left);
  layout.top = pixels_from(top);
  const std::int32_t room_width = std::int32_t(
      std::max<std::int64_t>(0, pixels_to(std::int64_t(paper_width) - right) - layout.left));
  const std::int32_t room_height = std::int32_t(
      std::max<std::int64_t>(0, pixels_to(std::int64_t(paper_height) - bottom) - layout.top));
  layout.width = std::min(page_width, room_width);
  layout.height = std::min(page_height, room_height);
  layout.cut_right = page_width > room_width;
  layout.cut_bottom = page_height > room_height;
  layout.page_is_sheet = layout.left == 0 && layout.top == 0 && !layout.cut_right &&
                         !layout.cut_bottom && std::abs(pixels_to(paper_width) - page_width) <= 1 &&
                         std::abs(pixels_to(paper_height) - page_height) <= 1;
  return layout;
}

PrintPlan plan_print(const PrintQueue& queue, std::int32_t page_width, std::int32_t page_height,
                     const std::optional<WantedPaper>& page_own,
                     const std::optional<WantedPaper>& wanted) {
  PrintPlan plan;
  plan.page_paper = page_own;
  plan.wanted = wanted;
  plan.page_width = page_width;
  plan.page_height = page_height;
  plan.choice = choose_media(queue, wanted);
  plan.layout = lay_out_page(page_width, page_height, plan.choice);
  return plan;
}

std::string paper_name(const PrintMedia& media) {
  for (const std::u16string_view name : kPaperNames) {
    const auto paper = paper_named(name);
    if (paper && same_size(paper->width, paper->length, media)) return paper->name;
  }
  return media.keyword;
}

std::string paper_description(const PrintMedia& media) {
  return paper_name(media) + " (" + millimetres(media.width) + " x " + millimetres(media.length) +
         " mm)";
}

std::vector<std::string> print_warnings(const PrintQueue& queue, const PrintPlan& plan) {
  std::vector<std::string> warnings;
  if (queue.paused) {
    warnings.push_back("The printer " + queue.name + " is paused" + state_reason(queue) +
                       ": the job waits in its queue until the printer is resumed.");
  }
  if (!plan.choice.offered && plan.wanted) {
    warnings.push_back("The printer " + queue.name + " has no " + plan.wanted->name + " paper (" +
                       millimetres(plan.wanted->width) + " x " + millimetres(plan.wanted->length) +
                       " mm): the page goes on its " + paper_name(plan.choice.media) + " paper (" +
                       millimetres(plan.choice.media.width) + " x " +
                       millimetres(plan.choice.media.length) + " mm).");
  }
  const SheetLayout& layout = plan.layout;
  if (layout.cut_right || layout.cut_bottom) {
    const PrintMedia& media = plan.choice.media;
    // In 64 bits and never below none: the margins are the server's numbers.
    const std::int64_t across = std::max<std::int64_t>(0, std::int64_t(plan.choice.paper_width) -
                                                              margin_on(media.left, media.width) -
                                                              margin_on(media.right, media.width));
    const std::int64_t down = std::max<std::int64_t>(0, std::int64_t(plan.choice.paper_length) -
                                                            margin_on(media.top, media.length) -
                                                            margin_on(media.bottom, media.length));
    const std::int64_t printable_width = layout.turned ? down : across;
    const std::int64_t printable_height = layout.turned ? across : down;
    const char* cut = layout.cut_right && layout.cut_bottom ? "its right and bottom edges are"
                      : layout.cut_right                    ? "its right edge is"
                                                            : "its bottom edge is";
    warnings.push_back(
        "The page (" + page_size_text(plan) + ") is larger than the printable area of the " +
        paper_name(media) + " paper of " + queue.name + " (" +
        millimetres_pair(double(printable_width) / 100.0, double(printable_height) / 100.0) +
        "). Printed at 100 %, only what fits the sheet is sent: " + cut + " cut off.");
  }
  if (!queue.resolutions_dpi.empty() && !offers_600_dpi(queue)) {
    std::string offered;
    for (const std::int32_t dpi : queue.resolutions_dpi) {
      offered += (offered.empty() ? "" : ", ") + std::to_string(dpi);
    }
    warnings.push_back("The printer " + queue.name + " offers no 600 dpi (only " + offered +
                       " dpi): it resamples the page's pixels, so rings and tiles are not "
                       "printed exactly.");
  }
  return warnings;
}

bool offers_600_dpi(const PrintQueue& queue) {
  return std::find(queue.resolutions_dpi.begin(), queue.resolutions_dpi.end(), kDotsPerInch) !=
         queue.resolutions_dpi.end();
}

std::optional<std::string> queue_refusal(const PrintQueue& queue) {
  if (queue.accepting_jobs) return std::nullopt;
  return "Unable to print the page on " + queue.name + ": the printer is not accepting jobs" +
         state_reason(queue);
}

std::string print_job_name(std::string_view area_text_utf8, std::int32_t page_width,
                           std::int32_t page_height) {
  if (!area_text_utf8.empty()) return std::string(area_text_utf8);
  return std::to_string(page_width) + "x" + std::to_string(page_height);
}

std::optional<WantedPaper> sheet_wanted_paper(std::string_view name) {
  const auto paper = sheet_paper(name);
  if (!paper) return std::nullopt;
  const std::u16string_view own = paper->name;
  if (auto iso = paper_named(own)) return iso;
  // The North American papers, by their IPP names (Tabloid is IPP's ledger).
  WantedPaper wanted;
  for (const char16_t c : own) wanted.name += char(c);  // ASCII
  wanted.width = std::int32_t(std::lround(paper->short_mm * 100));
  wanted.length = std::int32_t(std::lround(paper->long_mm * 100));
  wanted.keyword = wanted.name == "Letter"  ? "na_letter_8.5x11in"
                   : wanted.name == "Legal" ? "na_legal_8.5x14in"
                                            : "na_ledger_11x17in";
  return wanted;
}

std::vector<std::string> sheet_warnings(const PrintQueue& queue, const MediaChoice& choice,
                                        const SheetPrint& sheet) {
  std::vector<std::string> warnings;
  if (queue.paused) {
    warnings.push_back("The printer " + queue.name + " is paused" + state_reason(queue) +
                       ": the job waits in its queue until the printer is resumed.");
  }
  if (!choice.offered) {
    warnings.push_back("The printer " + queue.name + " has no " + sheet.paper.name + " paper (" +
                       millimetres(sheet.paper.width) + " x " + millimetres(sheet.paper.length) +
                       " mm): the sheet goes on its " + paper_name(choice.media) + " paper (" +
                       millimetres(choice.media.width) + " x " + millimetres(choice.media.length) +
                       " mm).");
  }
  if (!queue.resolutions_dpi.empty() &&
      std::find(queue.resolutions_dpi.begin(), queue.resolutions_dpi.end(), sheet.dpi) ==
          queue.resolutions_dpi.end()) {
    std::string offered;
    for (const std::int32_t dpi : queue.resolutions_dpi) {
      offered += (offered.empty() ? "" : ", ") + std::to_string(dpi);
    }
    warnings.push_back("The printer " + queue.name + " offers no " + std::to_string(sheet.dpi) +
                       " dpi (only " + offered + " dpi): it resamples the sheet's pixels.");
  }
  const auto offers = [&](std::string_view mode) {
    return std::find(queue.colour_modes.begin(), queue.colour_modes.end(), mode) !=
           queue.colour_modes.end();
  };
  if (sheet.colour && !queue.colour_modes.empty() && !offers("color")) {
    warnings.push_back("The printer " + queue.name +
                       " prints no colour: the sheet's colours reach the paper as greys.");
  }
  if (!sheet.srgb && !queue.cups_filters) {
    warnings.push_back("The printer " + queue.name +
                       " offers no way to turn its colour management off: the device values "
                       "may be converted before they reach the paper.");
  }
  // cups-pdf hands every job to Ghostscript with the prepress settings, which resample colour
  // images finer than 1.5 times 300 ppi down to 300 ppi.
  constexpr std::int32_t kPdfPrinterMostDpi = 450;
  if (sheet.colour && sheet.dpi > kPdfPrinterMostDpi &&
      queue.make_and_model.find("CUPS-PDF") != std::string::npos) {
    warnings.push_back("The printer " + queue.name +
                       " makes PDF files with cups-pdf, whose default settings resample colour "
                       "images finer than 450 ppi to 300 ppi: its file holds the sheet at 300 "
                       "dpi, not " +
                       std::to_string(sheet.dpi) + " dpi.");
  }
  return warnings;
}

std::string sheet_job_name(const SheetPrint& sheet) {
  return "Pattern " + sheet.pattern + " on " + sheet.paper.name + ", " + std::to_string(sheet.dpi) +
         " dpi, " + (sheet.srgb ? "sRGB" : "device values");
}

}  // namespace lumigrid
