#include "about/transport.h"

#include <gtest/gtest.h>

#include "support/about_test_support.h"
#include "support/local_http_server.h"

namespace lumigrid::about {
namespace {

using lumigrid::testing::LocalHttpServer;
using lumigrid::testing::read_file;
using lumigrid::testing::ScratchFolder;

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
  ScratchFolder folder("download");
  EXPECT_FALSE(download_file("http://" + server.host() + "/file", "missing/file"));
  EXPECT_TRUE(download_file("http://" + server.host() + "/file", "file"));
  EXPECT_EQ(read_file("file"), "bytes");
}

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
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lumigrid::about
