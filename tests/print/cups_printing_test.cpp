// Printing through a real CUPS server: the private one tests/print/private_cups.py starts, with
// cups-pdf queues writing the printed sheets as PDF. What cups-pdf writes is read back with
// poppler's tools: the paper, the page's pixels one for one at 600 ppi, and where they lie.
#include "print/cups_printing.h"

#include <cups/cups.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "export/image_export.h"
#include "page/page_build.h"
#include "support/temp_folder.h"

namespace lumigrid {
namespace {

using testing::ScratchFolder;

const char* env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

// The private server; the tests are skipped, loudly, without it.
class PrivateServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (env("CUPS_SERVER") == nullptr || env("LUMIGRID_CUPS_PDF_OUT") == nullptr) {
      GTEST_SKIP() << "NOT RUN: start through tests/print/private_cups.py, which starts the "
                      "private CUPS server";
    }
    server = default_print_server();
  }
  PrintServer server;
};

std::string run_output(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
      output.append(buffer, n);
    }
    ::pclose(pipe);
  }
  return output;
}

std::string quoted(const std::filesystem::path& path) {
  // Built in place: GCC 12 sees a false overlap in "'" + text + "'".
  std::string text = path.string();
  text.insert(text.begin(), '\'');
  text.push_back('\'');
  return text;
}

std::vector<char> file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The ids of the jobs the server still knows, finished ones included.
std::vector<int> known_jobs() {
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
  std::vector<int> ids;
  for (int i = 0; i < count; ++i) ids.push_back(jobs[i].id);
  cupsFreeJobs(count, jobs);
  return ids;
}

// The sheet cups-pdf writes for a job: "<job name>...-job_<id>.pdf" in the queue's folder.
std::filesystem::path printed_sheet(const std::string& queue, int job_id) {
  const auto folder = std::filesystem::path(env("LUMIGRID_CUPS_PDF_OUT")) / queue;
  const std::string suffix = "-job_" + std::to_string(job_id) + ".pdf";
  for (int tries = 0; tries < 600; ++tries) {
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
    bool done = false;
    for (int i = 0; i < count; ++i) {
      if (jobs[i].id == job_id) done = jobs[i].state >= IPP_JSTATE_CANCELED;
    }
    cupsFreeJobs(count, jobs);
    if (done) {
      for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().ends_with(suffix)) return entry.path();
      }
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ADD_FAILURE() << "cups-pdf wrote no sheet for job " << job_id << " on " << queue;
  return {};
}

// A grey PNG's pixels, one byte each.
std::vector<std::uint8_t> grey_png(const std::filesystem::path& path, std::int32_t& width,
                                   std::int32_t& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  std::vector<std::uint8_t> grey;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return grey;
  image.format = PNG_FORMAT_GRAY;
  grey.resize(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr);
  width = std::int32_t(image.width);
  height = std::int32_t(image.height);
  return grey;
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string word; in >> word;) out.push_back(word);
  return out;
}

// --- the queues -------------------------------------------------------------------------------

struct QueueCase {
  const char* row;
  std::string queue;
  bool accepting;
  bool paused;
  std::string message;
  std::string default_media;
  std::int32_t a4_margin;  // every margin of its A4 paper
  bool custom_sizes;
  bool offers_600;
};

void PrintTo(const QueueCase& c, std::ostream* os) {
  *os << c.row;
}

class QueryQueue : public PrivateServer, public ::testing::WithParamInterface<QueueCase> {};

TEST_P(QueryQueue, TellsItsStateItsPaperAndItsResolutions) {
  const QueueCase& c = GetParam();
  const PrintQueue queue = query_print_queue(server, c.queue);
  EXPECT_EQ(queue.name, c.queue);
  EXPECT_EQ(queue.accepting_jobs, c.accepting);
  EXPECT_EQ(queue.paused, c.paused);
  EXPECT_EQ(queue.state_message, c.message);
  ASSERT_TRUE(queue.default_media.has_value());
  EXPECT_EQ(queue.default_media->keyword, c.default_media);
  const auto a4 = std::find_if(queue.media.begin(), queue.media.end(),
                               [](const PrintMedia& m) { return m.keyword == "iso_a4_210x297mm"; });
  ASSERT_NE(a4, queue.media.end());
  // cups-pdf's A4 is 595 x 842 points.
  EXPECT_EQ(a4->width, 20990);
  EXPECT_EQ(a4->length, 29704);
  EXPECT_EQ(*a4, (PrintMedia{"iso_a4_210x297mm", 20990, 29704, c.a4_margin, c.a4_margin,
                             c.a4_margin, c.a4_margin}));
  EXPECT_EQ(queue.custom_min.has_value() && queue.custom_max.has_value(), c.custom_sizes);
  EXPECT_EQ(offers_600_dpi(queue), c.offers_600);
}

INSTANTIATE_TEST_SUITE_P(
    Queues, QueryQueue,
    ::testing::Values(
        QueueCase{"PDF", "PDF", true, false, "", "iso_a4_210x297mm", 0, true, true},
        QueueCase{"PDF_A3", "PDF-A3", true, false, "", "iso_a3_297x420mm", 0, true, true},
        // 10 points round the imageable area
        QueueCase{"Office_A4", "Office-A4", true, false, "", "iso_a4_210x297mm", 353, false, true},
        QueueCase{"Draft", "Draft", true, false, "", "iso_a4_210x297mm", 0, true, false},
        QueueCase{"Paused", "Paused", true, true, "Cleaning the print head", "iso_a4_210x297mm", 0,
                  true, true},
        QueueCase{"Rejecting", "Rejecting", false, false, "Closed for the night",
                  "iso_a4_210x297mm", 0, true, true}),
    [](const auto& row) { return std::string(row.param.row); });

TEST_F(PrivateServer, DefaultQueueIsTheServersDefault) {
  EXPECT_EQ(default_print_queue(server), "PDF");
  EXPECT_EQ(print_server_problem(server), std::nullopt);
}

TEST_F(PrivateServer, UnknownQueueIsCupssReason) {
  try {
    query_print_queue(server, "Nope");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(
        e.what(),
        "Unable to print the page on Nope: the server says \"The printer or class does not "
        "exist.\"");
  }
}

// A server that is not running: its socket is gone.
class StoppedServer : public PrivateServer {
 protected:
  void SetUp() override {
    PrivateServer::SetUp();
    if (IsSkipped()) return;
    stopped = {(folder.path() / "cups.sock").string(), server.port};
  }
  ScratchFolder folder;
  PrintServer stopped;
  std::string reason() const {
    return "no print server answers at " + stopped.host + " (No such file or directory)";
  }
};

TEST_F(StoppedServer, EveryStepSaysSo) {
  EXPECT_EQ(print_server_problem(stopped), reason());
  try {
    default_print_queue(stopped);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.what(), "Unable to print the page: " + reason());
  }
  try {
    query_print_queue(stopped, "PDF");
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.what(), "Unable to print the page on PDF: " + reason());
  }
}

// The server stops between the queue's check and the job: the job's failure says so.
TEST_F(StoppedServer, StoppedWhileTheJobIsMadeIsReported) {
  const PrintQueue queue = query_print_queue(server, "PDF");
  const PageBuild build = build_page(u"qHD 960x540", PageRequest{{100, 8, 50}, 96});
  const PrintPlan plan = plan_print(queue, 960, 540, std::nullopt, std::nullopt);
  const std::vector<int> before = known_jobs();
  try {
    send_page_job(stopped, build.page, plan, {"PDF", "qHD 960x540", 1, true});
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.what(), "Unable to print the page on PDF: " + reason());
  }
  EXPECT_EQ(known_jobs(), before);
}

// --- jobs -------------------------------------------------------------------------------------

struct JobCase {
  const char* row;
  const char16_t* area;
  std::string queue;
  double sheet_width_points;  // as cups-pdf writes it: portrait
  double sheet_height_points;
  bool same_as_saved_pdf;  // the job's document is the page's saved PDF
  // The page's part on the sheet and where its top-left corner lies, in page pixels.
  std::int32_t width;
  std::int32_t height;
  std::int32_t left;
  std::int32_t top;
};

void PrintTo(const JobCase& c, std::ostream* os) {
  *os << c.row;
}

class PrintJob : public PrivateServer, public ::testing::WithParamInterface<JobCase> {};

TEST_P(PrintJob, ArrivesOnItsPaperPixelForPixelAt600Ppi) {
  const JobCase& c = GetParam();
  const PageBuild build = build_page(c.area, PageRequest{{100, 8, 50}, 96});
  const Surface& page = build.page;
  std::string area_utf8;
  for (const char16_t* p = c.area; *p != 0; ++p) area_utf8 += char(*p);  // ASCII rows

  const PrintQueue queue = query_print_queue(server, c.queue);
  const auto paper = page_paper(c.area);
  const PrintPlan plan = plan_print(queue, page.width(), page.height(), paper, paper);
  EXPECT_EQ(plan.layout.page_is_sheet, c.same_as_saved_pdf);
  PrintJobRequest request{c.queue, print_job_name(area_utf8, page.width(), page.height()), 1,
                          offers_600_dpi(queue)};
  const int id = send_page_job(server, page, plan, request);
  ASSERT_GT(id, 0);
  EXPECT_EQ(job_sent_message(c.queue, id), "Sent to " + c.queue + " as job " + std::to_string(id));

  ScratchFolder folder;
  if (c.same_as_saved_pdf) {
    // The very bytes of a saved PDF went to the server.
    save_image(page, folder.path() / "saved.pdf");
    char spooled[32];
    std::snprintf(spooled, sizeof spooled, "d%05d-001", id);
    EXPECT_TRUE(file_bytes(std::filesystem::path(env("LUMIGRID_CUPS_SPOOL")) / spooled) ==
                file_bytes(folder.path() / "saved.pdf"));
  }

  const std::filesystem::path sheet = printed_sheet(c.queue, id);
  ASSERT_FALSE(sheet.empty());
  // Named after the page: cups-pdf writes the job's name with its spaces as underscores.
  std::string file_name_start = area_utf8;
  for (char& ch : file_name_start) ch = ch == ' ' ? '_' : ch;
  EXPECT_TRUE(sheet.filename().string().starts_with(file_name_start)) << sheet;

  // The paper.
  double width_pt = 0, height_pt = 0;
  const std::string info = run_output("pdfinfo " + quoted(sheet));
  std::sscanf(info.c_str() + info.find("Page size:"), "Page size: %lf x %lf", &width_pt,
              &height_pt);
  EXPECT_DOUBLE_EQ(width_pt, c.sheet_width_points) << info;
  EXPECT_DOUBLE_EQ(height_pt, c.sheet_height_points) << info;

  // One image of the page's pixels, one bit each, at 600 ppi: nothing resampled.
  std::istringstream listed(run_output("pdfimages -list " + quoted(sheet)));
  std::vector<std::vector<std::string>> images;
  for (std::string line; std::getline(listed, line);) images.push_back(words(line));
  ASSERT_EQ(images.size(), 3u);
  const auto& image = images[2];
  ASSERT_GE(image.size(), 14u);
  EXPECT_EQ(image[3], std::to_string(c.width));
  EXPECT_EQ(image[4], std::to_string(c.height));
  EXPECT_EQ(image[7], "1");
  EXPECT_EQ(image[12], "600");
  EXPECT_EQ(image[13], "600");
  ASSERT_EQ(
      std::system(
          ("pdfimages -png " + quoted(sheet) + " " + quoted(folder.path() / "image")).c_str()),
      0);
  std::int32_t width = 0, height = 0;
  const auto pixels = grey_png(folder.path() / "image-000.png", width, height);
  ASSERT_EQ(width, c.width);
  ASSERT_EQ(height, c.height);
  int different = 0;
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      different +=
          pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] != page.rowData(y)[x];
    }
  }
  EXPECT_EQ(different, 0);

  // Where our sheet places the page: the sheet drawn at 600 dpi and turned back a quarter
  // clockwise (the printer turned the landscape page counterclockwise) holds the part at (left,
  // top) and white round it. (A page sent as its own PDF is centred by the queue on its paper,
  // which cups-pdf rounds to whole points, 595 x 842 for A4: a fraction of a pixel that the
  // drawing smooths, so only the pixels above tell there.)
  if (c.same_as_saved_pdf) return;
  ASSERT_EQ(std::system(("pdftocairo -png -singlefile -gray -r 600 " + quoted(sheet) + " " +
                         quoted(folder.path() / "sheet"))
                            .c_str()),
            0);
  std::int32_t sheet_w = 0, sheet_h = 0;
  const auto drawn = grey_png(folder.path() / "sheet.png", sheet_w, sheet_h);
  const bool turned = page.width() > page.height();
  const auto ink_at = [&](std::int32_t x, std::int32_t y) {
    // (x, y) on the sheet as the page lies on it.
    const std::int32_t sx = turned ? y : x;
    const std::int32_t sy = turned ? sheet_h - 1 - x : y;
    return drawn[std::size_t(sy) * std::size_t(sheet_w) + std::size_t(sx)] < 128;
  };
  const std::int32_t across = turned ? sheet_h : sheet_w;
  const std::int32_t down = turned ? sheet_w : sheet_h;
  int misplaced = 0;
  for (std::int32_t y = 0; y < down; ++y) {
    for (std::int32_t x = 0; x < across; ++x) {
      const std::int32_t px = x - c.left, py = y - c.top;
      const bool on_part = px >= 0 && py >= 0 && px < c.width && py < c.height;
      misplaced += ink_at(x, y) != (on_part && page.rowData(py)[px] == 0);
    }
  }
  EXPECT_EQ(misplaced, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PrintJob,
    ::testing::Values(JobCase{"A4Row", u"A4 600 dpi 7016x4961", "PDF", 595, 842, true, 7016, 4961,
                              0, 0},
                      // The queue's A3 paper is its default; an A4 page still goes on A4.
                      JobCase{"A3OnItsPaper", u"A3", "PDF-A3", 842, 1191, true, 9921, 7016, 0, 0},
                      JobCase{"A4OnAnA3Queue", u"A4", "PDF-A3", 595, 842, true, 7016, 4961, 0, 0},
                      JobCase{"A5", u"A5", "PDF", 421, 595, true, 4961, 3496, 0, 0},
                      // On a queue without A3 and with margins: its A4, from the imageable area's
                      // corner on the 600-dpi grid (10 points are 83.3 pixels), what fits.
                      JobCase{"A3CutToTheA4ImageableArea", u"A3", "Office-A4", 595, 842, false,
                              6849, 4791, 84, 84},
                      JobCase{"DisplayFormatInsideTheMargins", u"qHD 960x540", "Office-A4", 595,
                              842, false, 960, 540, 84, 84}),
    [](const auto& row) { return std::string(row.param.row); });

// CUPS's own reason when it refuses the job.
TEST_F(PrivateServer, RejectedJobIsCupssReason) {
  const PrintQueue queue = query_print_queue(server, "Rejecting");
  ASSERT_TRUE(queue_refusal(queue).has_value());
  const PageBuild build = build_page(u"qHD 960x540", PageRequest{{100, 8, 50}, 96});
  const PrintPlan plan = plan_print(queue, 960, 540, std::nullopt, std::nullopt);
  try {
    send_page_job(server, build.page, plan, {"Rejecting", "qHD 960x540", 1, true});
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(),
                 "Unable to print the page on Rejecting: the server says \"Destination "
                 "\"Rejecting\" is not accepting jobs.\"");
  }
}

// A paused queue takes the job and holds it.
TEST_F(PrivateServer, PausedQueueHoldsTheJob) {
  const PrintQueue queue = query_print_queue(server, "Paused");
  const PageBuild build = build_page(u"qHD 960x540", PageRequest{{100, 8, 50}, 96});
  const PrintPlan plan = plan_print(queue, 960, 540, std::nullopt, std::nullopt);
  ASSERT_EQ(print_warnings(queue, plan).size(), 1u);
  const int id = send_page_job(server, build.page, plan, {"Paused", "qHD 960x540", 1, true});
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, "Paused", 0, CUPS_WHICHJOBS_ACTIVE);
  bool held = false;
  for (int i = 0; i < count; ++i) held |= jobs[i].id == id && jobs[i].state == IPP_JSTATE_PENDING;
  cupsFreeJobs(count, jobs);
  EXPECT_TRUE(held);
  cupsCancelJob2(CUPS_HTTP_DEFAULT, "Paused", id, 1);
}

// Followed through the queue's filters: cups-pdf completes the job; a paused queue keeps it
// waiting, which ends the following with the queue's reason.
struct FollowCase {
  const char* row;
  std::string queue;
  PrintJobEnd end;
  std::string told;  // after "Job N on QUEUE "
};

void PrintTo(const FollowCase& c, std::ostream* os) {
  *os << c.row;
}

class FollowJob : public PrivateServer, public ::testing::WithParamInterface<FollowCase> {};

TEST_P(FollowJob, EndsWhereTheQueueLeavesIt) {
  const FollowCase& c = GetParam();
  const PrintQueue queue = query_print_queue(server, c.queue);
  const PageBuild build = build_page(u"qHD 960x540", PageRequest{{100, 8, 50}, 96});
  const PrintPlan plan = plan_print(queue, 960, 540, std::nullopt, std::nullopt);
  const int id = send_page_job(server, build.page, plan, {c.queue, "qHD 960x540", 1, true});
  const PrintJobOutcome outcome = follow_print_job(server, c.queue, id);
  EXPECT_EQ(outcome.end, c.end);
  EXPECT_EQ(outcome.message, "Job " + std::to_string(id) + " on " + c.queue + " " + c.told);
  if (c.end != PrintJobEnd::Completed) cupsCancelJob2(CUPS_HTTP_DEFAULT, c.queue.c_str(), id, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Queues, FollowJob,
    ::testing::Values(FollowCase{"Completed", "PDF", PrintJobEnd::Completed, "is completed"},
                      FollowCase{"WaitsOnAPausedPrinter", "Paused", PrintJobEnd::Held,
                                 "waits: the printer is paused (the server says \"Cleaning the "
                                 "print head\")"}),
    [](const auto& row) { return std::string(row.param.row); });

// Cancelled while the PDF is made or while it is sent: nothing reaches the server. Cancelled
// once the whole document is sent: the server's job is cancelled and purged, its record kept
// as cancelled, and nothing is printed.
struct CancelCase {
  const char* row;
  double at;  // the progress at which the operator cancels
  bool record_kept;
};

void PrintTo(const CancelCase& c, std::ostream* os) {
  *os << c.row;
}

class CancelJob : public PrivateServer, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelJob, LeavesNoJobBehind) {
  const PrintQueue queue = query_print_queue(server, "PDF");
  const PageBuild build = build_page(u"A3", PageRequest{{100, 8, 50}, 96});
  const PrintPlan plan = plan_print(queue, build.page.width(), build.page.height(),
                                    page_paper(u"A3"), page_paper(u"A3"));
  const std::vector<int> before = known_jobs();
  const auto folder = std::filesystem::path(env("LUMIGRID_CUPS_PDF_OUT")) / "PDF";
  const auto sheets = [&] {
    return std::distance(std::filesystem::directory_iterator(folder),
                         std::filesystem::directory_iterator());
  };
  const auto sheets_before = sheets();
  std::atomic<bool> cancel{false};
  const ProgressCallback progress = [&](double fraction) {
    if (fraction >= GetParam().at) cancel = true;
  };
  try {
    send_page_job(server, build.page, plan, {"PDF", "A3", 1, true}, progress, &cancel);
    FAIL() << "not cancelled";
  } catch (const PrintCancelled& e) {
    EXPECT_STREQ(e.what(), "Printing cancelled: nothing is printed on PDF");
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
  int records = 0;
  for (int i = 0; i < count; ++i) {
    if (std::find(before.begin(), before.end(), jobs[i].id) != before.end()) continue;
    ++records;
    EXPECT_EQ(jobs[i].state, IPP_JSTATE_CANCELED) << "job " << jobs[i].id;
  }
  cupsFreeJobs(count, jobs);
  EXPECT_EQ(records, GetParam().record_kept ? 1 : 0);
  EXPECT_EQ(sheets(), sheets_before);
}

INSTANTIATE_TEST_SUITE_P(Moments, CancelJob,
                         ::testing::Values(CancelCase{"WhileThePdfIsMade", 0.3, false},
                                           CancelCase{"WhileItIsSent", 0.91, false},
                                           CancelCase{"AfterTheLastByte", 1.0, true}),
                         [](const auto& row) { return std::string(row.param.row); });

}  // namespace
}  // namespace lumigrid
