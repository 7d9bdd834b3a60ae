// Printing against a print server that answers as a broken or hostile one would:
// tests/print/fake_ipp_server.py, started for each suite on 127.0.0.1 and stopped after it.
// Every exchange ends within its limit with a message that says what happened, what the server
// says arrives cleaned and quoted, hostile numbers are checked before any arithmetic, and the
// job's file is private.
#include <cups/cups.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/page_commands.h"
#include "page/page_build.h"
#include "print/cups_printing.h"
#include "print/print_layout.h"
#include "support/temp_folder.h"

extern char** environ;

namespace lumigrid {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::ScratchFolder;
using ::testing::StartsWith;
using testing::write_file;

// The fake server as a child process: its port read from its first line; stopped (SIGTERM,
// and its standard input closed) when the object goes. A server that does not start fails the
// test.
class FakeIppServer {
 public:
  explicit FakeIppServer(const std::string& default_scenario = "good") {
    int input[2];
    int output[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) {
      throw std::runtime_error("no pipes for the fake print server");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    std::string python = LUMIGRID_PYTHON;
    std::string script = LUMIGRID_FAKE_IPP_SERVER;
    std::string option = "--default";
    std::string scenario = default_scenario;
    char* argv[] = {python.data(), script.data(), option.data(), scenario.data(), nullptr};
    const int spawned = ::posix_spawn(&pid_, python.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    input_ = input[1];
    if (spawned != 0) {
      ::close(output[0]);
      pid_ = -1;
      throw std::runtime_error("the fake print server does not start");
    }
    std::string line;
    char c = 0;
    while (::read(output[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(output[0]);
    port_ = std::atoi(line.c_str());
    if (port_ <= 0) throw std::runtime_error("the fake print server names no port: " + line);
  }
  ~FakeIppServer() {
    ::close(input_);
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  FakeIppServer(const FakeIppServer&) = delete;
  FakeIppServer& operator=(const FakeIppServer&) = delete;

  int port() const { return port_; }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

  // The server with short limits, so that a silent one costs two seconds.
  PrintServer server(std::size_t answer_bytes = kPrintAnswerBytes) const {
    PrintLimits limits;
    limits.connect = std::chrono::milliseconds(2000);
    limits.answer = std::chrono::milliseconds(2000);
    limits.purge = std::chrono::milliseconds(1000);
    limits.follow = std::chrono::milliseconds(20000);
    limits.answer_bytes = answer_bytes;
    return {"127.0.0.1", port_, limits};
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int port_ = 0;
};

// One fake server for a whole suite.
class FakeServerSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { fake_ = std::make_unique<FakeIppServer>(); }
  static void TearDownTestSuite() { fake_.reset(); }
  static std::unique_ptr<FakeIppServer> fake_;
};
std::unique_ptr<FakeIppServer> FakeServerSuite::fake_;

const PageBuild& small_page() {
  static const PageBuild build = build_page(u"qHD 960x540", PageRequest{{100, 8, 50}, 96});
  return build;
}

// A plan made without asking the server: its A4 paper, no margins.
PrintPlan a4_plan() {
  PrintQueue queue;
  queue.name = "any";
  queue.media.push_back({"iso_a4_210x297mm", 21000, 29700, 0, 0, 0, 0});
  queue.default_media = queue.media.front();
  return plan_print(queue, 960, 540, std::nullopt, std::nullopt);
}

std::string replaced(std::string text, const std::string& host) {
  for (std::size_t at; (at = text.find("{server}")) != std::string::npos;) {
    text.replace(at, 8, host);
  }
  return text;
}

std::string failure_of(const std::function<void()>& act) {
  try {
    act();
  } catch (const PrintCancelled& e) {
    return std::string("cancelled: ") + e.what();
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

// --- every exchange ends with its reason ------------------------------------------------------

enum class Step { Query, Send };

struct ExchangeCase {
  const char* row;
  Step step;
  std::string queue;  // the scenario
  std::size_t answer_bytes;
  std::string message;  // {server}: the fake server's host:port
  bool whole = true;    // false: the message starts so
};

void PrintTo(const ExchangeCase& c, std::ostream* os) {
  *os << c.row;
}

class Exchange : public FakeServerSuite, public ::testing::WithParamInterface<ExchangeCase> {};

TEST_P(Exchange, EndsWithinItsLimitsSayingWhatHappened) {
  const ExchangeCase& c = GetParam();
  const PrintServer server = fake_->server(c.answer_bytes);
  const std::string message = failure_of([&] {
    if (c.step == Step::Query) {
      query_print_queue(server, c.queue);
    } else {
      send_page_job(server, small_page().page, a4_plan(), {c.queue, "qHD", 1, true});
    }
  });
  const std::string expected = replaced(c.message, fake_->host());
  if (c.whole) {
    EXPECT_EQ(message, expected);
  } else {
    EXPECT_THAT(message, StartsWith(expected));
  }
  EXPECT_THAT(message, Not(HasSubstr("Success")));
}

constexpr std::size_t kSmallAnswers = std::size_t{1} << 20;

INSTANTIATE_TEST_SUITE_P(
    Scenarios, Exchange,
    ::testing::Values(
        ExchangeCase{"Silent", Step::Query, "silent", kPrintAnswerBytes,
                     "Unable to print the page on silent: the print server at {server} did not "
                     "answer within 2 s"},
        ExchangeCase{"ByteASecond", Step::Query, "drip", kPrintAnswerBytes,
                     "Unable to print the page on drip: the print server at {server} did not "
                     "answer within 2 s"},
        ExchangeCase{"HeaderLineEvery10ms", Step::Query, "header-drip", kPrintAnswerBytes,
                     "Unable to print the page on header-drip: the print server at {server} did "
                     "not answer within 2 s"},
        ExchangeCase{"TruncatedKeptOpen", Step::Query, "truncated", kPrintAnswerBytes,
                     "Unable to print the page on truncated: the print server at {server} did "
                     "not answer within 2 s"},
        ExchangeCase{"Garbage", Step::Query, "garbage", kPrintAnswerBytes,
                     "Unable to print the page on garbage: the print server at {server} closed "
                     "the connection without a valid answer"},
        ExchangeCase{"ShortHeader", Step::Query, "short-header", kPrintAnswerBytes,
                     "Unable to print the page on short-header: the print server at {server} "
                     "closed the connection without a valid answer"},
        ExchangeCase{"NotIpp", Step::Query, "not-ipp", kPrintAnswerBytes,
                     "Unable to print the page on not-ipp: the print server at {server} sent an "
                     "answer that is not IPP (36 bytes)"},
        ExchangeCase{"HugeMediaDatabase", Step::Query, "huge", kPrintAnswerBytes,
                     "Unable to print the page on huge: the print server at {server} sent an "
                     "answer of ",
                     false},
        ExchangeCase{"EndlessChunks", Step::Query, "endless", kSmallAnswers,
                     "Unable to print the page on endless: the print server at {server} sent an "
                     "answer of more than the 1 MiB read from a print server"},
        ExchangeCase{"JobIdMinus5", Step::Send, "job-id-minus-5", kPrintAnswerBytes,
                     "Unable to print the page on job-id-minus-5: the server gave the job an "
                     "invalid id (-5); it may still print the page"},
        ExchangeCase{"JobId0", Step::Send, "job-id-0", kPrintAnswerBytes,
                     "Unable to print the page on job-id-0: the server gave the job an invalid "
                     "id (0); it may still print the page"},
        ExchangeCase{"RequestTooLarge", Step::Send, "too-large", kPrintAnswerBytes,
                     "Unable to print the page on too-large: the print server at {server} "
                     "refused the document as too large (",
                     false},
        ExchangeCase{"NoSpaceLeft", Step::Send, "no-space", kPrintAnswerBytes,
                     "Unable to print the page on no-space: the server says \"No space left on "
                     "device\""},
        ExchangeCase{"ClosedMidDocument", Step::Send, "closes-mid-document", kPrintAnswerBytes,
                     "Unable to print the page on closes-mid-document: the print server at "
                     "{server} closed the connection",
                     false},
        ExchangeCase{"NoAnswerAfterTheDocument", Step::Send, "no-job-answer", kPrintAnswerBytes,
                     "Unable to print the page on no-job-answer: the print server at {server} "
                     "did not answer within 2 s; it may still print the page, having the whole "
                     "document"}),
    [](const auto& row) { return std::string(row.param.row); });

TEST(PrintServerConnection, RefusedIsSaidSo) {
  PrintServer server("127.0.0.1", 1);
  EXPECT_EQ(print_server_problem(server),
            "no print server answers at 127.0.0.1:1 (Connection refused)");
}

// A server that never takes the connection: the connect limit passes, or a cancel ends it.
TEST(PrintServerConnection, NeverTakenEndsAtItsLimitOrACancel) {
  FakeIppServer full("full-backlog");
  EXPECT_EQ(print_server_problem(full.server()),
            "the print server at " + full.host() + " did not take a connection within 2 s");
  PrintServer patient = full.server();
  patient.limits.connect = kPrintConnectLimit * 100;
  std::atomic<bool> cancel{false};
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    cancel = true;
  });
  EXPECT_EQ(failure_of([&] { default_print_queue(patient, &cancel); }),
            "cancelled: Printing cancelled: nothing is printed");
  canceller.join();
}

// A server that takes the connection and never answers is a problem, said within the limit.
TEST_F(FakeServerSuite, ProblemIsAskedAsARealQuestion) {
  FakeIppServer silent("silent");
  EXPECT_EQ(print_server_problem(silent.server()),
            "the print server at " + silent.host() + " did not answer within 2 s");
  EXPECT_EQ(print_server_problem(fake_->server()), std::nullopt);
}

// A server that asks for a password is given none and the exchange ends saying so: asked, libcups
// would put the question to the terminal and wait there beyond every limit and any cancel.
TEST_F(FakeServerSuite, PasswordIsAskedOfNobody) {
  int asked = 0;
  cupsSetPasswordCB2(
      [](const char*, http_t*, const char*, const char*, void* data) -> const char* {
        ++*static_cast<int*>(data);
        return nullptr;
      },
      &asked);
  const std::string message = failure_of([&] { query_print_queue(fake_->server(), "password"); });
  cupsSetPasswordCB2(nullptr, nullptr);
  EXPECT_EQ(message, "Unable to print the page on password: the print server at " + fake_->host() +
                         " answered HTTP 401 (Unauthorized)");
  EXPECT_EQ(asked, 0);
}

// A cancel ends an exchange the server never answers, silent or sending header lines without
// end, whatever its limit.
struct CancelCase {
  const char* row;
  Step step;
  std::string queue;  // the scenario
};

void PrintTo(const CancelCase& c, std::ostream* os) {
  *os << c.row;
}

class CancelSilent : public FakeServerSuite, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelSilent, EndsTheExchange) {
  PrintServer server = fake_->server();
  server.limits.answer = kPrintAnswerLimit;
  std::atomic<bool> cancel{false};
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    cancel = true;
  });
  const std::string message = failure_of([&] {
    if (GetParam().step == Step::Query) {
      query_print_queue(server, GetParam().queue, &cancel);
    } else {
      // The server takes the whole document and never answers: the job cannot be purged
      // without its id, which the server never gives.
      send_page_job(server, small_page().page, a4_plan(), {GetParam().queue, "qHD", 1, true}, {},
                    &cancel);
    }
  });
  canceller.join();
  if (GetParam().step == Step::Query) {
    EXPECT_EQ(message, "cancelled: Printing cancelled: nothing is printed on " + GetParam().queue);
  } else {
    EXPECT_THAT(message, AnyOf(StartsWith("cancelled: "),
                               HasSubstr("printing was cancelled, but the print server at")));
  }
}

INSTANTIATE_TEST_SUITE_P(Steps, CancelSilent,
                         ::testing::Values(CancelCase{"Query", Step::Query, "silent"},
                                           CancelCase{"Send", Step::Send, "silent"},
                                           CancelCase{"QueryHeaderLineEvery10ms", Step::Query,
                                                      "header-drip"}),
                         [](const auto& row) { return std::string(row.param.row); });

// --- hostile numbers and texts ----------------------------------------------------------------

struct MediaCase {
  const char* row;
  std::string queue;
  std::vector<std::int32_t> resolutions;
};

void PrintTo(const MediaCase& c, std::ostream* os) {
  *os << c.row;
}

class HostileMedia : public FakeServerSuite, public ::testing::WithParamInterface<MediaCase> {};

// Margins no sheet has are left out as if not listed: the A4 paper keeps no margins, the page
// goes on it whole and nothing is said of a printable area; resolutions of units IPP does not
// have are left out.
TEST_P(HostileMedia, AreLeftOutBeforeAnyArithmetic) {
  const MediaCase& c = GetParam();
  const PrintQueue queue = query_print_queue(fake_->server(), c.queue);
  ASSERT_FALSE(queue.media.empty());
  EXPECT_EQ(queue.media.front(), (PrintMedia{"iso_a4_210x297mm", 21000, 29700, 0, 0, 0, 0}));
  EXPECT_EQ(queue.resolutions_dpi, c.resolutions);
  const auto a4 = page_paper(u"A4");
  const PrintPlan plan = plan_print(queue, 7016, 4961, a4, a4);
  EXPECT_FALSE(plan.layout.cut_right || plan.layout.cut_bottom);
  const auto warnings = print_warnings(queue, plan);
  for (const std::string& warning : warnings) EXPECT_THAT(warning, Not(HasSubstr("printable")));
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, HostileMedia,
    ::testing::Values(MediaCase{"IntMaxMargins", "int-max-margins", {600, 300}},
                      MediaCase{"NegativeMargins", "negative-margins", {600, 300}},
                      MediaCase{"UnknownResolutionUnits", "unknown-unit", {}}),
    [](const auto& row) { return std::string(row.param.row); });

// What the hostile server sends: clearing the screen, setting the title, a fake green success,
// text turned right to left, DEL and NUL.
const std::string kCleaned = "Sent to Q as job 1 gnitnirp done";

bool has_controls(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return text.find("\u202e") != std::string::npos || text.find("\xc2\x9b") != std::string::npos;
}

TEST_F(FakeServerSuite, QueueStateMessageIsCleanedAndQuoted) {
  const PrintQueue queue = query_print_queue(fake_->server(), "hostile-texts");
  EXPECT_EQ(queue.state_message, kCleaned);
  ASSERT_TRUE(queue.paused);
  const auto warnings = print_warnings(queue, plan_print(queue, 960, 540, std::nullopt, {}));
  ASSERT_FALSE(warnings.empty());
  EXPECT_THAT(warnings.front(), HasSubstr("the server says \"" + kCleaned + "\""));
  EXPECT_FALSE(has_controls(warnings.front()));
}

// A default printer's name no queue can have is refused, quoted cleaned, rather than mended into
// a name that would go back to the server and into the job's messages.
TEST(HostileDefaultPrinter, NameIsRefusedQuotedCleaned) {
  FakeIppServer hostile("hostile-texts");
  const std::string message = failure_of([&] { default_print_queue(hostile.server()); });
  EXPECT_EQ(message,
            "Unable to print the page: the print server names no valid default printer (the "
            "server says \"" +
                kCleaned + "\")");
  EXPECT_FALSE(has_controls(message));
}

// --- following the job ------------------------------------------------------------------------

struct FollowCase {
  const char* row;
  std::string queue;
  PrintJobEnd end;
  std::string told;  // after "Job N on QUEUE "
};

void PrintTo(const FollowCase& c, std::ostream* os) {
  *os << c.row;
}

class FollowJob : public FakeServerSuite, public ::testing::WithParamInterface<FollowCase> {};

TEST_P(FollowJob, EndsWhenTheQueueHasTakenItThroughItsFilters) {
  const FollowCase& c = GetParam();
  const PrintServer server = fake_->server();
  const int id = send_page_job(server, small_page().page, a4_plan(), {c.queue, "qHD", 1, true});
  ASSERT_GT(id, 0);
  std::vector<std::string> states;
  const PrintJobOutcome outcome =
      follow_print_job(server, c.queue, id, [&](const std::string& s) { states.push_back(s); });
  const std::string job = "Job " + std::to_string(id) + " on " + c.queue;
  EXPECT_EQ(outcome.end, c.end);
  EXPECT_EQ(outcome.message, job + " " + c.told);
  EXPECT_FALSE(has_controls(outcome.message));
  ASSERT_FALSE(states.empty());
  EXPECT_EQ(states.back(), job + " is " +
                               (c.end == PrintJobEnd::Completed ? "completed"
                                : c.end == PrintJobEnd::Held    ? "held"
                                                                : "aborted"));
}

INSTANTIATE_TEST_SUITE_P(
    Ends, FollowJob,
    ::testing::Values(FollowCase{"Completed", "good", PrintJobEnd::Completed, "is completed"},
                      FollowCase{"AbortedByItsFilter", "aborted", PrintJobEnd::Aborted,
                                 "was aborted: the server says \"Filter failed " + kCleaned +
                                     "\" (job-state-reasons: document-format-error, "
                                     "job-completed-with-errors)"},
                      FollowCase{"Held", "held", PrintJobEnd::Held,
                                 "is held: the server says \"Held for authentication\" "
                                 "(job-state-reasons: job-hold-until-specified)"}),
    [](const auto& row) { return std::string(row.param.row); });

// A cancel that ends the following, even before the job is asked for, purges the job on the
// server: "nothing is printed" must hold.
TEST_F(FakeServerSuite, CancelledFollowingPurgesTheJob) {
  const PrintServer server = fake_->server();
  const int id = send_page_job(server, small_page().page, a4_plan(), {"good", "qHD", 1, true});
  ASSERT_GT(id, 0);
  const std::atomic<bool> cancel{true};
  EXPECT_EQ(failure_of([&] { follow_print_job(server, "good", id, {}, &cancel); }),
            "cancelled: Printing cancelled: nothing is printed on good");
  EXPECT_EQ(follow_print_job(server, "good", id, {}).end, PrintJobEnd::Canceled);
}

// lumigrid-render --print QUEUE --wait: the job's end decides the exit status; a job is never
// reported sent without a positive id.
struct CommandCase {
  const char* row;
  std::string queue;
  bool wait;
  int status;
  std::string out;  // what stdout starts with; {id}: any job id
  std::string err;  // what stderr holds
};

void PrintTo(const CommandCase& c, std::ostream* os) {
  *os << c.row;
}

class PrintCommand : public FakeServerSuite, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(PrintCommand, ExitsAsTheJobEnded) {
  const CommandCase& c = GetParam();
  ::setenv("CUPS_SERVER", fake_->host().c_str(), 1);
  cupsSetServer(nullptr);
  cli::PageOptions options;
  options.text = "qHD 960x540";
  options.print_queue = c.queue;
  options.wait_for_job = c.wait;
  std::ostringstream err;
  std::ostringstream out;
  EXPECT_EQ(cli::run_page_command(options, err, out), c.status);
  ::unsetenv("CUPS_SERVER");
  cupsSetServer(nullptr);
  EXPECT_THAT(out.str(), StartsWith(c.out));
  EXPECT_THAT(err.str(), HasSubstr(c.err));
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, PrintCommand,
    ::testing::Values(
        CommandCase{"Sent", "good", false, 0, "Sent to good as job ", ""},
        CommandCase{"WaitedToCompletion", "good", true, 0, "Sent to good as job ", "is processing"},
        CommandCase{"WaitedAndAborted", "aborted", true, 1, "Sent to aborted as job ",
                    "was aborted: the server says \"Filter failed "},
        CommandCase{"NegativeJobId", "job-id-minus-5", false, 1, "",
                    "error: Unable to print the page on job-id-minus-5: the server gave the job "
                    "an invalid id (-5)"}),
    [](const auto& row) { return std::string(row.param.row); });

// --- the job's file ---------------------------------------------------------------------------

// The job's file was once /tmp/lumigrid-print-<pid>_0: a link planted there by another user
// made the job's PDF overwrite the file it named. The file is now made where nobody else can
// reach it and removed with its folder.
TEST_F(FakeServerSuite, JobFileNeverFollowsALinkAndIsRemoved) {
  ScratchFolder temporary;
  ScratchFolder elsewhere;
  const auto victim = elsewhere.path() / "victim";
  write_file(victim, "keep me");
  ::chmod(victim.c_str(), 0600);
  const auto planted = temporary.path() / ("lumigrid-print-" + std::to_string(::getpid()) + "_0");
  std::filesystem::create_symlink(victim, planted);
  const char* before = std::getenv("TMPDIR");
  const std::string kept = before != nullptr ? before : "";
  ::setenv("TMPDIR", temporary.path().c_str(), 1);
  const std::string message = failure_of([&] {
    send_page_job(fake_->server(), small_page().page, a4_plan(), {"good", "qHD", 1, true});
  });
  if (before != nullptr) {
    ::setenv("TMPDIR", kept.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  EXPECT_EQ(message, "no error");
  EXPECT_EQ(testing::read_file(victim), "keep me");
  EXPECT_TRUE(std::filesystem::is_symlink(planted));
  EXPECT_EQ(temporary.entries(), std::vector<std::string>{planted.filename().string()});
}

// Ended by a signal while the job's file is made: the file and its private folder go with the
// program.
class InterruptedJob : public ::testing::TestWithParam<int> {};

TEST_P(InterruptedJob, SignalRemovesTheJobsFolder) {
  ScratchFolder temporary;
  const int signal_number = GetParam();
  EXPECT_EXIT(
      {
        ::setenv("TMPDIR", temporary.path().c_str(), 1);
        send_page_job(PrintServer("127.0.0.1", 1), small_page().page, a4_plan(),
                      {"good", "qHD", 1, true},
                      [signal_number](double) { std::raise(signal_number); });
      },
      ::testing::KilledBySignal(GetParam()), "");
  EXPECT_EQ(temporary.entries(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedJob, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& row) {
                           return row.param == SIGINT ? "SIGINT" : "SIGTERM";
                         });

}  // namespace
}  // namespace lumigrid
