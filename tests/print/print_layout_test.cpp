// Where a page goes on a queue's paper: the paper asked for, the page's origin on the sheet and
// the 600-dpi grid, what fits, and what the operator reads before the job goes.
#include "print/print_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/errors.h"

namespace lumigrid {
namespace {

PrintMedia media(const char* keyword, std::int32_t width, std::int32_t length,
                 std::int32_t margin = 0) {
  return {keyword, width, length, margin, margin, margin, margin};
}

// A queue like cups-pdf's: every paper in whole points, no margins, custom sizes, 600 dpi.
PrintQueue virtual_printer() {
  PrintQueue queue;
  queue.name = "PDF";
  queue.media = {media("iso_a4_210x297mm", 20990, 29704), media("iso_a3_297x420mm", 29704, 42016),
                 media("custom_148.52x209.9mm_148.52x209.9mm", 14852, 20990),
                 media("na_letter_8.5x11in", 21590, 27940)};
  queue.default_media = queue.media.front();
  queue.custom_min = media("custom_min_0.5x0.5in", 1270, 1270);
  queue.custom_max = media("custom_max_35277.78x35277.78mm", 3527778, 3527778);
  queue.resolutions_dpi = {150, 300, 600, 1200};
  return queue;
}

// An office printer: A4 only, 10-point margins, no custom size.
PrintQueue office_printer() {
  PrintQueue queue;
  queue.name = "Office-A4";
  queue.media = {media("iso_a4_210x297mm", 20990, 29704, 353)};
  queue.default_media = queue.media.front();
  queue.resolutions_dpi = {300, 600};
  return queue;
}

WantedPaper paper(const char* text) {
  const auto found = page_paper(std::u16string(text, text + std::char_traits<char>::length(text)));
  EXPECT_TRUE(found.has_value()) << text;
  return found.value_or(WantedPaper{});
}

// --- the page's paper -------------------------------------------------------------------------

struct PaperCase {
  const char* row;
  const char16_t* text;
  std::optional<WantedPaper> paper;
};

void PrintTo(const PaperCase& c, std::ostream* os) {
  *os << c.row;
}

class PagePaper : public ::testing::TestWithParam<PaperCase> {};

TEST_P(PagePaper, IsTheStandardMediaOfTheDrawingArea) {
  EXPECT_EQ(page_paper(GetParam().text), GetParam().paper);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PagePaper,
    ::testing::Values(
        PaperCase{"A4Row", u"A4 600 dpi 7016x4961",
                  WantedPaper{"A4", "iso_a4_210x297mm", 21000, 29700}},
        PaperCase{"A5", u"A5", WantedPaper{"A5", "iso_a5_148x210mm", 14800, 21000}},
        PaperCase{"B4IsJis", u"B4", WantedPaper{"B4", "jis_b4_257x364mm", 25700, 36400}},
        PaperCase{"B0", u"B0", WantedPaper{"B0", "iso_b0_1000x1414mm", 100000, 141400}},
        PaperCase{"DisplayFormat", u"FHD 1920x1080", std::nullopt},
        PaperCase{"TypedSize", u"800x600", std::nullopt}),
    [](const auto& row) { return std::string(row.param.row); });

TEST(PaperOfSize, IsAPageSizeWhereItIsOneElseACustomSize) {
  EXPECT_EQ(paper_of_size("ISO B0", 141400, 100000), paper("B0"));
  EXPECT_EQ(paper_of_size("A4", 21000, 29700), paper("A4"));
  EXPECT_EQ(paper_of_size("US Letter", 21590, 27940),
            (WantedPaper{"US Letter", "custom_215.9x279.4mm_215.9x279.4mm", 21590, 27940}));
}

// --- the paper asked for ----------------------------------------------------------------------

struct MediaCase {
  const char* row;
  PrintQueue queue;
  std::optional<WantedPaper> wanted;
  std::string keyword;
  std::int32_t paper_width;
  std::int32_t paper_length;
  bool offered;
};

void PrintTo(const MediaCase& c, std::ostream* os) {
  *os << c.row;
}

class ChooseMedia : public ::testing::TestWithParam<MediaCase> {};

TEST_P(ChooseMedia, AsksForTheWantedPaperAsTheQueueNamesIt) {
  const MediaCase& c = GetParam();
  const MediaChoice choice = choose_media(c.queue, c.wanted);
  EXPECT_EQ(choice.media.keyword, c.keyword);
  EXPECT_EQ(choice.paper_width, c.paper_width);
  EXPECT_EQ(choice.paper_length, c.paper_length);
  EXPECT_EQ(choice.offered, c.offered);
}

PrintQueue small_custom_sizes() {
  PrintQueue queue = virtual_printer();
  queue.custom_max = media("custom_max_300x400mm", 30000, 40000);
  return queue;
}

PrintQueue without_default() {
  PrintQueue queue = office_printer();
  queue.default_media.reset();
  return queue;
}

INSTANTIATE_TEST_SUITE_P(Queues, ChooseMedia,
                         ::testing::Values(
                             // Listed in whole points: the queue's name, the paper's own size.
                             MediaCase{"ListedRounded", virtual_printer(), paper("A4"),
                                       "iso_a4_210x297mm", 21000, 29700, true},
                             MediaCase{"ListedUnderAnotherName", virtual_printer(), paper("A5"),
                                       "custom_148.52x209.9mm_148.52x209.9mm", 14800, 21000, true},
                             MediaCase{"CustomSizeOfThePaper", virtual_printer(), paper("B4"),
                                       "jis_b4_257x364mm", 25700, 36400, true},
                             MediaCase{"MissingPaperGivesTheDefault", office_printer(), paper("B0"),
                                       "iso_a4_210x297mm", 20990, 29704, false},
                             MediaCase{"TooLargeForItsCustomSizes", small_custom_sizes(),
                                       paper("A0"), "iso_a4_210x297mm", 20990, 29704, false},
                             MediaCase{"NoPaperWantedGivesTheDefault", office_printer(),
                                       std::nullopt, "iso_a4_210x297mm", 20990, 29704, true},
                             MediaCase{"NoDefaultGivesTheFirstListed", without_default(),
                                       std::nullopt, "iso_a4_210x297mm", 20990, 29704, true}),
                         [](const auto& row) { return std::string(row.param.row); });

TEST(ChooseMediaRefused, QueueWithoutPaperIsAnError) {
  PrintQueue queue;
  queue.name = "Empty";
  try {
    choose_media(queue, paper("A4"));
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Unable to print the page on Empty: the printer names no paper");
  }
}

// --- the page on the sheet --------------------------------------------------------------------

struct LayoutCase {
  const char* row;
  std::int32_t page_width;
  std::int32_t page_height;
  MediaChoice choice;
  SheetLayout expected;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
  *os << c.row;
}

class LayOutPage : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayOutPage, PutsThePageAtTheImageableOriginOnTheGrid) {
  const LayoutCase& c = GetParam();
  EXPECT_EQ(lay_out_page(c.page_width, c.page_height, c.choice), c.expected);
}

MediaChoice a4_sheet(std::int32_t margin) {
  return {media("iso_a4_210x297mm", 20990, 29704, margin), 21000, 29700, true};
}

MediaChoice sheet_with_margins(std::int32_t left, std::int32_t top, std::int32_t right,
                               std::int32_t bottom) {
  return {{"iso_a4_210x297mm", 21000, 29700, left, right, top, bottom}, 21000, 29700, true};
}

INSTANTIATE_TEST_SUITE_P(
    Sheets, LayOutPage,
    ::testing::Values(
        // A landscape page turns the portrait sheet; on its own paper without margins it is
        // the sheet itself.
        LayoutCase{"A4PageOnItsPaper",
                   7016,
                   4961,
                   a4_sheet(0),
                   {true, 29704, 20990, 0, 0, 7016, 4961, false, false, true}},
        // 10-point margins are 83.3 pixels: the page starts at pixel 84, and loses its far
        // edges to the printable area.
        LayoutCase{"A4PageInsideMargins",
                   7016,
                   4961,
                   a4_sheet(353),
                   {true, 29704, 20990, 84, 84, 6848, 4793, true, true, false}},
        LayoutCase{"MarginOnTheGridStaysThere",
                   1000,
                   800,
                   a4_sheet(254),
                   {true, 29704, 20990, 60, 60, 1000, 800, false, false, false}},
        LayoutCase{"A5PageOnA4Sheet",
                   4961,
                   3496,
                   a4_sheet(0),
                   {true, 29704, 20990, 0, 0, 4961, 3496, false, false, false}},
        LayoutCase{"TallPageKeepsTheSheetUpright",
                   3496,
                   4961,
                   a4_sheet(0),
                   {false, 20990, 29704, 0, 0, 3496, 4961, false, false, false}},
        // Turned a quarter counterclockwise: the sheet's bottom margin is the page's left one,
        // its left margin the page's top one.
        LayoutCase{"TurnedSheetTurnsItsMargins",
                   4000,
                   3000,
                   sheet_with_margins(100, 200, 300, 400),
                   {true, 29700, 21000, 95, 24, 4000, 3000, false, false, false}},
        LayoutCase{"B0OnA4SendsWhatFits",
                   33402,
                   23622,
                   a4_sheet(0),
                   {true, 29704, 20990, 0, 0, 7016, 4961, true, true, false}},
        LayoutCase{"MarginsWiderThanThePaper",
                   100,
                   50,
                   a4_sheet(20000),
                   {true, 29704, 20990, 4725, 4725, 0, 0, true, true, false}},
        // A server's margins past the sheet or below none: as wide as the sheet, or none.
        LayoutCase{"LargestMarginsLeaveNoRoom",
                   1000,
                   800,
                   sheet_with_margins(INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX),
                   {true, 29700, 21000, 7016, 4961, 0, 0, true, true, false}},
        LayoutCase{"NegativeMarginsAreNone",
                   1000,
                   800,
                   sheet_with_margins(-500, INT32_MIN, -1, INT32_MIN),
                   {true, 29700, 21000, 0, 0, 1000, 800, false, false, false}}),
    [](const auto& row) { return std::string(row.param.row); });

// --- what the operator reads ------------------------------------------------------------------

struct WarningCase {
  const char* row;
  PrintQueue queue;
  std::int32_t page_width;
  std::int32_t page_height;
  std::optional<WantedPaper> paper;
  std::vector<std::string> warnings;
};

void PrintTo(const WarningCase& c, std::ostream* os) {
  *os << c.row;
}

class PrintWarnings : public ::testing::TestWithParam<WarningCase> {};

TEST_P(PrintWarnings, SayWhatTheQueueCannotDo) {
  const WarningCase& c = GetParam();
  const PrintPlan plan = plan_print(c.queue, c.page_width, c.page_height, c.paper, c.paper);
  EXPECT_EQ(print_warnings(c.queue, plan), c.warnings);
}

PrintQueue paused(std::string message) {
  PrintQueue queue = virtual_printer();
  queue.paused = true;
  queue.state_message = std::move(message);
  return queue;
}

PrintQueue with_margins(PrintQueue queue, std::int32_t margin) {
  for (PrintMedia& m : queue.media) m.left = m.right = m.top = m.bottom = margin;
  if (queue.default_media) {
    queue.default_media->left = queue.default_media->right = margin;
    queue.default_media->top = queue.default_media->bottom = margin;
  }
  return queue;
}

PrintQueue draft_printer() {
  PrintQueue queue = virtual_printer();
  queue.name = "Draft";
  queue.resolutions_dpi = {150, 300};
  return queue;
}

INSTANTIATE_TEST_SUITE_P(
    Queues, PrintWarnings,
    ::testing::Values(
        WarningCase{"NothingStandsInTheWay", virtual_printer(), 7016, 4961, paper("A4"), {}},
        WarningCase{"Paused",
                    paused("Cleaning the print head"),
                    7016,
                    4961,
                    paper("A4"),
                    {"The printer PDF is paused (the server says \"Cleaning the print head\"): the "
                     "job waits in its queue until the printer is resumed."}},
        WarningCase{"PausedWithoutAReason",
                    paused(""),
                    7016,
                    4961,
                    paper("A4"),
                    {"The printer PDF is paused: the job waits in its queue until the printer is "
                     "resumed."}},
        WarningCase{
            "MissingPaperAndCutOff",
            office_printer(),
            9921,
            7016,
            paper("A3"),
            {"The printer Office-A4 has no A3 paper (297 x 420 mm): the page goes on its A4 paper "
             "(209.9 x 297 mm).",
             "The page (A3 paper, 420.0 x 297.0 mm) is larger than the printable area of the A4 "
             "paper of Office-A4 (290.0 x 202.8 mm). Printed at 100 %, only what fits the sheet "
             "is sent: its right and bottom edges are cut off."}},
        WarningCase{"PageOfNoPaperCutOff",
                    office_printer(),
                    7000,
                    2000,
                    std::nullopt,
                    {"The page (7000 x 2000 pixels, 296.3 x 84.7 mm) is larger than the printable "
                     "area of the A4 paper of Office-A4 (290.0 x 202.8 mm). Printed at 100 %, "
                     "only what fits the sheet is sent: its right edge is cut off."}},
        // Margins of the largest 32-bit number leave no printable area, said as none.
        WarningCase{"LargestMarginsLeaveNoPrintableArea",
                    with_margins(virtual_printer(), INT32_MAX),
                    7016,
                    4961,
                    paper("A4"),
                    {"The page (A4 paper, 297.0 x 210.0 mm) is larger than the printable area of "
                     "the A4 paper of PDF (0.0 x 0.0 mm). Printed at 100 %, only what fits the "
                     "sheet is sent: its right and bottom edges are cut off."}},
        WarningCase{"No600Dpi",
                    draft_printer(),
                    7016,
                    4961,
                    paper("A4"),
                    {"The printer Draft offers no 600 dpi (only 150, 300 dpi): it resamples the "
                     "page's pixels, so rings and tiles are not printed exactly."}}),
    [](const auto& row) { return std::string(row.param.row); });

struct RefusalCase {
  const char* row;
  bool accepting;
  std::string message;
  std::optional<std::string> refusal;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
  *os << c.row;
}

class QueueRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(QueueRefusal, NamesTheQueueAndItsReason) {
  PrintQueue queue = virtual_printer();
  queue.name = "Rejecting";
  queue.accepting_jobs = GetParam().accepting;
  queue.state_message = GetParam().message;
  EXPECT_EQ(queue_refusal(queue), GetParam().refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Queues, QueueRefusal,
    ::testing::Values(RefusalCase{"Accepting", true, "", std::nullopt},
                      RefusalCase{"RejectingWithAReason", false, "Closed for the night",
                                  "Unable to print the page on Rejecting: the printer is not "
                                  "accepting jobs (the server says \"Closed for the night\")"},
                      RefusalCase{"RejectingWithoutAReason", false, "",
                                  "Unable to print the page on Rejecting: the printer is not "
                                  "accepting jobs"}),
    [](const auto& row) { return std::string(row.param.row); });

TEST(PrintJobName, IsTheDrawingAreaTextOrElseTheSize) {
  EXPECT_EQ(print_job_name("A4 600 dpi 7016x4961", 7016, 4961), "A4 600 dpi 7016x4961");
  EXPECT_EQ(print_job_name("", 1920, 1080), "1920x1080");
}

// --- a pattern's sheet ---------------------------------------------------------------------

struct SheetPaperCase {
  const char* row;
  const char* name;
  std::optional<WantedPaper> paper;
};

class SheetPaperName : public ::testing::TestWithParam<SheetPaperCase> {};

TEST_P(SheetPaperName, GivesTheIppPaperOfTheName) {
  EXPECT_EQ(sheet_wanted_paper(GetParam().name), GetParam().paper);
}

INSTANTIATE_TEST_SUITE_P(
    Papers, SheetPaperName,
    ::testing::Values(
        SheetPaperCase{"A4", "A4", WantedPaper{"A4", "iso_a4_210x297mm", 21000, 29700}},
        SheetPaperCase{"B4IsJis", "b4", WantedPaper{"B4", "jis_b4_257x364mm", 25700, 36400}},
        SheetPaperCase{"Letter", "Letter",
                       WantedPaper{"Letter", "na_letter_8.5x11in", 21590, 27940}},
        SheetPaperCase{"Legal", "legal", WantedPaper{"Legal", "na_legal_8.5x14in", 21590, 35560}},
        SheetPaperCase{"TabloidIsIppLedger", "TABLOID",
                       WantedPaper{"Tabloid", "na_ledger_11x17in", 27940, 43180}},
        SheetPaperCase{"UnknownIsNone", "A7", std::nullopt}),
    [](const auto& row) { return std::string(row.param.row); });

struct SheetWarningCase {
  const char* row;
  PrintQueue queue;
  std::int32_t dpi;
  bool srgb;
  bool colour;
  std::vector<std::string> warnings;
};

// cups-pdf as CUPS serves it: colour, its filters under CUPS.
PrintQueue pdf_printer() {
  PrintQueue queue = virtual_printer();
  queue.colour_modes = {"monochrome", "color"};
  queue.make_and_model = "Generic CUPS-PDF Printer (w/ options)";
  queue.cups_filters = true;
  return queue;
}

PrintQueue with(PrintQueue queue, void (*change)(PrintQueue&)) {
  change(queue);
  return queue;
}

const SheetWarningCase kSheetWarnings[] = {
    {"PdfPrinterAt300KeepsEverything", pdf_printer(), 300, false, true, {}},
    {"PdfPrinterAt600ResamplesColour",
     pdf_printer(),
     600,
     false,
     true,
     {"The printer PDF makes PDF files with cups-pdf, whose default settings resample colour "
      "images finer than 450 ppi to 300 ppi: its file holds the sheet at 300 dpi, not 600 dpi."}},
    {"PdfPrinterAt600KeepsBlackAndWhite", pdf_printer(), 600, false, false, {}},
    {"NoSuchResolution",
     with(pdf_printer(), [](PrintQueue& q) { q.resolutions_dpi = {600}; }),
     300,
     true,
     true,
     {"The printer PDF offers no 300 dpi (only 600 dpi): it resamples the sheet's pixels."}},
    {"GreyPrinterTakesNoColour",
     with(pdf_printer(), [](PrintQueue& q) { q.colour_modes = {"monochrome"}; }),
     300,
     false,
     true,
     {"The printer PDF prints no colour: the sheet's colours reach the paper as greys."}},
    {"GreyPrinterTakesBlackAndWhite",
     with(pdf_printer(), [](PrintQueue& q) { q.colour_modes = {"monochrome"}; }),
     300,
     false,
     false,
     {}},
    {"PrinterOfItsOwnCannotTurnColourManagementOff",
     with(pdf_printer(), [](PrintQueue& q) { q.cups_filters = false; }),
     300,
     false,
     true,
     {"The printer PDF offers no way to turn its colour management off: the device values may "
      "be converted before they reach the paper."}},
    {"PrinterOfItsOwnTakesSrgb",
     with(pdf_printer(), [](PrintQueue& q) { q.cups_filters = false; }),
     300,
     true,
     true,
     {}},
};

class SheetWarnings : public ::testing::TestWithParam<SheetWarningCase> {};

TEST_P(SheetWarnings, SayWhatTheQueueCannotKeep) {
  const SheetWarningCase& c = GetParam();
  SheetPrint sheet;
  sheet.paper = *sheet_wanted_paper("A4");
  sheet.dpi = c.dpi;
  sheet.srgb = c.srgb;
  sheet.colour = c.colour;
  sheet.pattern = "6";
  EXPECT_EQ(sheet_warnings(c.queue, choose_media(c.queue, sheet.paper), sheet), c.warnings);
}

INSTANTIATE_TEST_SUITE_P(Queues, SheetWarnings, ::testing::ValuesIn(kSheetWarnings),
                         [](const auto& row) { return std::string(row.param.row); });

TEST(SheetWarnings, MissingPaperNamesTheOneUsed) {
  const PrintQueue queue = with(pdf_printer(), [](PrintQueue& q) {
    q.media.resize(1);
    q.custom_min.reset();
  });
  SheetPrint sheet;
  sheet.paper = *sheet_wanted_paper("Tabloid");
  sheet.dpi = 300;
  const MediaChoice choice = choose_media(queue, sheet.paper);
  EXPECT_EQ(sheet_warnings(queue, choice, sheet),
            std::vector<std::string>{"The printer PDF has no Tabloid paper (279.4 x 431.8 mm): "
                                     "the sheet goes on its A4 paper (209.9 x 297 mm)."});
}

TEST(SheetJobName, SaysTheColourRoute) {
  SheetPrint sheet;
  sheet.paper = *sheet_wanted_paper("A4");
  sheet.pattern = "6";
  EXPECT_EQ(sheet_job_name(sheet), "Pattern 6 on A4, 600 dpi, device values");
  sheet.srgb = true;
  sheet.dpi = 300;
  EXPECT_EQ(sheet_job_name(sheet), "Pattern 6 on A4, 300 dpi, sRGB");
}

}  // namespace
}  // namespace lumigrid
