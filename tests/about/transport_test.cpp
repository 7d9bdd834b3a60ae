#include "about/transport.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "support/about_test_support.h"
#include "support/local_http_server.h"

namespace lumigrid::about {
namespace {

using lumigrid::testing::LocalHttpServer;
using lumigrid::testing::read_file;
using lumigrid::testing::WorkingFolder;

TEST(Transport, GetReturnsTheBodyUpToTheLimit) {
  LocalHttpServer server;
  server.serve("/ten", {200, "0123456789"});
  const std::string url = "http://" + server.host() + "/ten";
  EXPECT_EQ(http_get(url, 10), "0123456789");
  EXPECT_THROW(http_get(url, 9), TransferError);
}

TEST(Transport, GetFailsOnErrorStatusAndUnreachableHosts) {
  LocalHttpServer server;
  server.serve("/gone", {410, "gone"});
  EXPECT_THROW(http_get("http://" + server.host() + "/gone"), TransferError);
  EXPECT_THROW(http_get("http://127.0.0.1:" + std::to_string(LocalHttpServer::closed_port()) + "/"),
               TransferError);
  EXPECT_THROW(http_get("http://updates.lumigrid.INVALID./index.json"), TransferError);
  EXPECT_THROW(http_get("ftp://" + server.host() + "/file"), TransferError);
}

TEST(Transport, NamesWithBlanksReachTheServer) {
  LocalHttpServer server;
  server.serve("/share/ release 1.zip", {200, "zip"});
  EXPECT_EQ(http_get("http://" + server.host() + "/share/ release 1.zip"), "zip");
}

TEST(Transport, DownloadIntoMissingFolderFails) {
  LocalHttpServer server;
  server.serve("/file", {200, "bytes"});
  WorkingFolder folder("download");
  EXPECT_FALSE(download_file("http://" + server.host() + "/file", "missing/file"));
  EXPECT_TRUE(download_file("http://" + server.host() + "/file", "file"));
  EXPECT_EQ(read_file("file"), "bytes");
}

// Servers that hold a request: whatever they do, a request ends at its deadline, or when it is
// cancelled, and a download then leaves neither the file nor a temporary.
struct HeldCase {
  const char* name;
  lumigrid::testing::CannedResponse response;
  bool cancelled;  // ended by the cancel flag rather than the deadline
};

class HeldRequest : public ::testing::TestWithParam<HeldCase> {
 protected:
  void SetUp() override {
    saved_ = request_deadlines();
    request_deadlines().index = std::chrono::milliseconds(GetParam().cancelled ? 600000 : 300);
  }
  void TearDown() override { request_deadlines() = saved_; }
  RequestDeadlines saved_;
};

TEST_P(HeldRequest, EndsAndLeavesNothing) {
  LocalHttpServer server;
  server.serve("/index.json", GetParam().response);
  const std::string url = "http://" + server.host() + "/index.json";
  std::atomic<bool> cancel{GetParam().cancelled};
  TransferOptions options;
  options.cancel = &cancel;
  EXPECT_THROW(http_get(url, options), TransferError);
  WorkingFolder folder("held");
  EXPECT_FALSE(download_file(url, "index.json", options));
  EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::current_path()));
}

INSTANTIATE_TEST_SUITE_P(
    Servers, HeldRequest,
    ::testing::Values(HeldCase{"never_answering", {200, "", false, 0, true}, false},
                      HeldCase{
                          "trickling", {200, std::string(100000, 'x'), false, 20, false}, false},
                      HeldCase{"cancelled", {200, "", false, 0, true}, true}),
    [](const auto& row) { return std::string(row.param.name); });

// A body beyond the limit (a release beyond its cap) is refused and nothing is left.
TEST(Transport, DownloadBeyondTheLimitLeavesNothing) {
  LocalHttpServer server;
  server.serve("/release.zip", {200, "0123456789"});
  WorkingFolder folder("cap");
  TransferOptions options;
  options.body_limit = 9;
  std::int64_t last_received = 0;
  options.progress = [&](std::int64_t received, std::int64_t) { last_received = received; };
  EXPECT_FALSE(download_file("http://" + server.host() + "/release.zip", "release.zip", options));
  EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::current_path()));
  options.body_limit = 10;
  EXPECT_TRUE(download_file("http://" + server.host() + "/release.zip", "release.zip", options));
  EXPECT_EQ(last_received, 10);
}

// The temporary of a download a killed process left is removed by the next download beside it.
TEST(Transport, DownloadRemovesTemporariesOfKilledProcesses) {
  LocalHttpServer server;
  server.serve("/index.json", {200, "{}"});
  WorkingFolder folder("stale");
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  const std::string stale = ".index.json.part" + std::to_string(child) + "_0";
  std::ofstream(stale) << "half";
  EXPECT_TRUE(download_file("http://" + server.host() + "/index.json", "index.json"));
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_EQ(read_file("index.json"), "{}");
}

// Interrupted while the body arrives: the signal removes the partial download and still ends
// the program.
class InterruptedDownload : public ::testing::TestWithParam<int> {};

TEST_P(InterruptedDownload, SignalRemovesThePartialFile) {
  LocalHttpServer server;
  server.serve("/index.json", {200, std::string(1000, 'x'), false, 20, false});
  WorkingFolder folder("interrupted");
  const std::string url = "http://" + server.host() + "/index.json";
  const int signal = GetParam();
  EXPECT_EXIT(
      {
        TransferOptions options;
        options.progress = [signal](std::int64_t received, std::int64_t) {
          if (received > 0) std::raise(signal);
        };
        download_file(url, "index.json", options);
      },
      ::testing::KilledBySignal(signal), "");
  EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::current_path()));
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedDownload, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& row) {
                           return row.param == SIGINT ? "SIGINT" : "SIGTERM";
                         });

struct WireCase {
  const char* name;
  const char* url;
  const char* wire;
};

class WireUrl : public ::testing::TestWithParam<WireCase> {};

TEST_P(WireUrl, EncodesOnlyWhatAUrlCannotHold) {
  EXPECT_EQ(wire_url(GetParam().url), GetParam().wire);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, WireUrl,
    ::testing::Values(WireCase{"plain", "http://h:80/a/b.zip", "http://h:80/a/b.zip"},
                      WireCase{"blanks", "http://h/a/ b c.zip", "http://h/a/%20b%20c.zip"},
                      WireCase{"percent_kept", "http://h/a%20b", "http://h/a%20b"},
                      WireCase{"utf8", "http://h/\xC3\xA9.zip", "http://h/%C3%A9.zip"},
                      WireCase{"controls_and_braces", "http://h/\t{x}|", "http://h/%09%7Bx%7D%7C"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace lumigrid::about
