#include "about/update_check.h"

#include <gtest/gtest.h>

#include "about/update_texts.h"
#include "support/about_test_support.h"
#include "support/local_http_server.h"

namespace lumigrid::about {
namespace {

namespace fs = std::filesystem;
using lumigrid::testing::CannedResponse;
using lumigrid::testing::LocalHttpServer;
using lumigrid::testing::read_file;
using lumigrid::testing::RecordingView;
using lumigrid::testing::WorkingFolder;
using lumigrid::testing::write_file;

constexpr const char* kIndexPath = "/NAS_file_Share/lumigrid/index.json";
constexpr const char* kFailed = "Web site upgrade not available.";

std::string index_json(const std::string& version, const std::string& file_name = "lumigrid.zip") {
  return R"({"file_name": ")" + file_name + R"(", "version": ")" + version +
         R"(", "website": "http://example.invalid/release"})";
}

std::string utf16le_with_bom(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) {
    out.push_back(c);
    out.push_back('\0');
  }
  return out;
}

UpdateState fresh_state(const LocalHttpServer& server, const std::string& local_version) {
  UpdateState state;
  state.program_name = "lumigrid";
  state.local_version = local_version;
  state.update_base_url = update_base_url(server.host(), state.program_name);
  state.release_file_name = "lumigrid";
  return state;
}

// One index answer and what each check makes of it. An empty caption or tooltip means the check
// leaves it alone.
struct IndexCase {
  const char* name;
  CannedResponse response;
  bool ok;
  const char* first_caption;
  const char* first_tooltip;
  const char* second_caption;
  const char* second_tooltip;
};

constexpr const char* kUntouched = "";
const std::string kDifferent = "Different Version:  1.2.3.5\r\navailable online";
const std::string kSecondTooltip = "Version:  1.2.3.5\r\navailable online\r\nClick to Download";

std::optional<std::string> expected(const char* text) {
  if (std::string(text).empty()) return std::nullopt;
  return std::string(text);
}

class IndexCheck : public ::testing::TestWithParam<IndexCase> {
 protected:
  LocalHttpServer server_;
  WorkingFolder folder_{GetParam().name};
  RecordingView view_;
};

TEST_P(IndexCheck, FirstCheck) {
  const IndexCase& c = GetParam();
  server_.serve(kIndexPath, c.response);
  UpdateState state = fresh_state(server_, "1.2.3.4");
  EXPECT_EQ(run_first_check(state, view_), c.ok);
  EXPECT_EQ(view_.download_caption, expected(c.first_caption));
  EXPECT_EQ(view_.download_tooltip, expected(c.first_tooltip));
  EXPECT_EQ(view_.web_tooltip, std::nullopt);
  if (!c.ok) {
    EXPECT_EQ(state.update_status_text, kFailed);
    EXPECT_EQ(state.release_file_name, "lumigrid");
  }
}

TEST_P(IndexCheck, SecondCheck) {
  const IndexCase& c = GetParam();
  server_.serve(kIndexPath, c.response);
  UpdateState state = fresh_state(server_, "1.2.3.4");
  EXPECT_EQ(run_second_check(state, view_), c.ok);
  EXPECT_EQ(view_.download_caption, expected(c.second_caption));
  EXPECT_EQ(view_.download_tooltip, expected(c.second_tooltip));
  if (c.ok) {
    EXPECT_EQ(view_.web_tooltip, "http://example.invalid/release");
  } else {
    EXPECT_EQ(view_.web_tooltip, std::nullopt);
    EXPECT_EQ(state.update_status_text, kFailed);
    EXPECT_EQ(state.release_file_name, "lumigrid");
  }
}

std::string oversized_index() {
  std::string body = index_json("1.2.3.5");
  body.insert(1, std::size_t{1} << 20, ' ');
  return body;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, IndexCheck,
    ::testing::Values(
        IndexCase{"equal_version",
                  {200, index_json("1.2.3.4")},
                  true,
                  "version up-to-date (1.2.3.4)",
                  "1.2.3.4",
                  kUntouched,
                  "Version:  1.2.3.4\r\navailable online\r\nClick to Download"},
        IndexCase{"newer_version",
                  {200, index_json("1.2.3.5")},
                  true,
                  kDifferent.c_str(),
                  "1.2.3.5",
                  kDifferent.c_str(),
                  kSecondTooltip.c_str()},
        IndexCase{"leading_zero_version",
                  {200, index_json("1.2.3.04")},
                  true,
                  "Different Version:  1.2.3.04\r\navailable online",
                  "1.2.3.04",
                  "Different Version:  1.2.3.04\r\navailable online",
                  "Version:  1.2.3.04\r\navailable online\r\nClick to Download"},
        IndexCase{"older_version",
                  {200, index_json("1.2.3.3")},
                  true,
                  "Different Version:  1.2.3.3\r\navailable online",
                  "1.2.3.3",
                  "Different Version:  1.2.3.3\r\navailable online",
                  "Version:  1.2.3.3\r\navailable online\r\nClick to Download"},
        IndexCase{"utf8_byte_order_mark",
                  {200, "\xEF\xBB\xBF" + index_json("1.2.3.5")},
                  true,
                  kDifferent.c_str(),
                  "1.2.3.5",
                  kDifferent.c_str(),
                  kSecondTooltip.c_str()},
        IndexCase{"utf16_byte_order_mark",
                  {200, utf16le_with_bom(index_json("1.2.3.5"))},
                  true,
                  kDifferent.c_str(),
                  "1.2.3.5",
                  kDifferent.c_str(),
                  kSecondTooltip.c_str()},
        IndexCase{"other_members_ignored",
                  {200, R"({"notes": {"version": "9"}, "file_name": "lumigrid.zip",
                           "version": "1.2.3.5", "size": 12, "website": "http://example.invalid/release"})"},
                  true,
                  kDifferent.c_str(),
                  "1.2.3.5",
                  kDifferent.c_str(),
                  kSecondTooltip.c_str()},
        IndexCase{
            "not_found", {404, "no such file"}, false, kFailed, kUntouched, kFailed, kUntouched},
        IndexCase{"server_error",
                  {500, index_json("1.2.3.5")},
                  false,
                  kFailed,
                  kUntouched,
                  kFailed,
                  kUntouched},
        // A version longer than a line, or with a line break, never reaches the button.
        IndexCase{"version_longer_than_a_line",
                  {200, index_json(std::string(900 * 1024, '9'))},
                  false,
                  kFailed,
                  kUntouched,
                  kFailed,
                  kUntouched},
        IndexCase{"version_with_line_break",
                  {200, index_json("1.2.3.5\\nDifferent Version: 9")},
                  false,
                  kFailed,
                  kUntouched,
                  kFailed,
                  kUntouched},
        IndexCase{"malformed_json",
                  {200, R"({"file_name": "lumigrid.zip", "version": )"},
                  false,
                  kFailed,
                  kUntouched,
                  kFailed,
                  kUntouched},
        IndexCase{"json_array",
                  {200, "[" + index_json("1.2.3.5") + "]"},
                  false,
                  kFailed,
                  kUntouched,
                  kFailed,
                  kUntouched},
        IndexCase{
            "json_string", {200, R"("1.2.3.5")"}, false, kFailed, kUntouched, kFailed, kUntouched},
        IndexCase{"missing_website",
                  {200, R"({"file_name": "lumigrid.zip", "version": "1.2.3.5"})"},
                  false,
                  kFailed,
                  kUntouched,
                  kFailed,
                  kUntouched},
        IndexCase{"version_not_a_string",
                  {200, R"({"file_name": "a.zip", "version": 1.2, "website": "http://w/"})"},
                  false,
                  kFailed,
                  kUntouched,
                  kFailed,
                  kUntouched},
        IndexCase{"empty_body", {200, ""}, false, kFailed, kUntouched, kFailed, kUntouched},
        IndexCase{"oversized_body",
                  {200, oversized_index()},
                  false,
                  kFailed,
                  kUntouched,
                  kFailed,
                  kUntouched},
        IndexCase{"cut_body",
                  {200, index_json("1.2.3.5"), true},
                  false,
                  kFailed,
                  kUntouched,
                  kFailed,
                  kUntouched}),
    [](const auto& row) { return std::string(row.param.name); });

class UpdateCheck : public ::testing::Test {
 protected:
  LocalHttpServer server_;
  WorkingFolder folder_{::testing::UnitTest::GetInstance()->current_test_info()->name()};
  RecordingView view_;
};

TEST_F(UpdateCheck, NoServerFailsBothChecks) {
  UpdateState state = fresh_state(server_, "1.2.3.4");
  state.update_base_url =
      update_base_url("127.0.0.1:" + std::to_string(LocalHttpServer::closed_port()), "lumigrid");
  EXPECT_FALSE(run_first_check(state, view_));
  EXPECT_EQ(view_.download_caption, kFailed);
  view_.download_caption.reset();
  EXPECT_FALSE(run_second_check(state, view_));
  EXPECT_EQ(view_.download_caption, kFailed);
  EXPECT_EQ(view_.download_tooltip, std::nullopt);
  EXPECT_FALSE(fs::exists("index.json"));
}

TEST_F(UpdateCheck, ReservedHostFailsWithoutNetwork) {
  UpdateState state = fresh_state(server_, "1.2.3.4");
  state.update_base_url = update_base_url("updates.lumigrid.invalid", "lumigrid");
  EXPECT_FALSE(run_first_check(state, view_));
  EXPECT_FALSE(run_second_check(state, view_));
  EXPECT_EQ(view_.download_caption, kFailed);
}

TEST_F(UpdateCheck, FirstCheckReplacesIndexFileInCurrentFolder) {
  write_file("index.json", "from an earlier start");
  server_.serve(kIndexPath, {200, index_json("1.2.3.5", "lumigrid-1.2.3.5.zip")});
  UpdateState state = fresh_state(server_, "1.2.3.4");
  ASSERT_TRUE(run_first_check(state, view_));
  EXPECT_EQ(read_file("index.json"), index_json("1.2.3.5", "lumigrid-1.2.3.5.zip"));
  EXPECT_EQ(state.release_file_name, "lumigrid-1.2.3.5.zip");
  EXPECT_EQ(state.online_version, "1.2.3.5");
  EXPECT_EQ(state.release_website, "http://example.invalid/release");
  EXPECT_EQ(state.update_status_text, "Version:  1.2.3.5\r\navailable online");
}

TEST_F(UpdateCheck, FailedIndexDownloadKeepsThePreviousIndexFile) {
  write_file("index.json", "from an earlier start");
  server_.serve(kIndexPath, {200, index_json("1.2.3.5"), true});
  UpdateState state = fresh_state(server_, "1.2.3.4");
  EXPECT_FALSE(run_first_check(state, view_));
  EXPECT_EQ(read_file("index.json"), "from an earlier start");
  EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
}

TEST_F(UpdateCheck, RepeatedMemberTakesTheFirst) {
  server_.serve(kIndexPath, {200, R"({"file_name": "first.zip", "file_name": "second.zip",
                                      "version": "2", "version": "3", "website": "http://a/"})"});
  UpdateState state = fresh_state(server_, "1.2.3.4");
  ASSERT_TRUE(run_second_check(state, view_));
  EXPECT_EQ(state.release_file_name, "first.zip");
  EXPECT_EQ(state.online_version, "2");
}

TEST_F(UpdateCheck, FailedCheckKeepsWhatTheLastGoodCheckStored) {
  server_.serve_in_turn(kIndexPath, {{200, index_json("1.2.3.5", "good.zip")},
                                     {200, R"({"file_name": "bad.zip", "version": "9"})"}});
  UpdateState state = fresh_state(server_, "1.2.3.4");
  ASSERT_TRUE(run_second_check(state, view_));
  EXPECT_FALSE(run_second_check(state, view_));
  EXPECT_EQ(state.release_file_name, "good.zip");
  EXPECT_EQ(state.online_version, "1.2.3.5");
  EXPECT_EQ(state.update_status_text, kFailed);
  EXPECT_EQ(view_.download_caption, kFailed);
  EXPECT_EQ(view_.download_tooltip, kSecondTooltip);
}

TEST_F(UpdateCheck, WebButtonOpensWebAddressesOnly) {
  UpdateState state;
  EXPECT_EQ(web_button_url(state, "http://docs.invalid:8090/display/LG/"),
            "http://docs.invalid:8090/display/LG/");
  state.release_website = "HTTPS://example.invalid/release";
  EXPECT_EQ(web_button_url(state, "http://docs.invalid/"), "HTTPS://example.invalid/release");
  for (const char* unsafe : {"/usr/bin/xterm", "file:///etc/passwd", "C:\\Windows\\calc.exe",
                             "javascript:alert(1)", "http:relative"}) {
    state.release_website = unsafe;
    EXPECT_EQ(web_button_url(state, "http://docs.invalid/"), "") << unsafe;
  }
}

// The download button: answer, release name from the index, server answer, and the outcome.
struct DownloadCase {
  const char* name;
  Answer answer;
  std::string release_file_name;
  CannedResponse response;
  bool expect_request;
  bool expect_saved;
  bool expect_error;
};

class DownloadAction : public ::testing::TestWithParam<DownloadCase> {
 protected:
  LocalHttpServer server_;
  WorkingFolder folder_{GetParam().name};
  RecordingView view_;
};

TEST_P(DownloadAction, FollowsTheAnswerAndTheName) {
  const DownloadCase& c = GetParam();
  const fs::path install = folder_.path() / "install";
  fs::create_directories(install);
  server_.serve("/NAS_file_Share/lumigrid/" + c.release_file_name, c.response);
  UpdateState state = fresh_state(server_, "1.2.3.4");
  state.release_file_name = c.release_file_name;
  state.online_version = "1.2.3.5";
  view_.answer = c.answer;

  run_download_action(state, view_, install.string());

  ASSERT_EQ(view_.questions.size(), 1u);
  EXPECT_EQ(view_.questions[0],
            "File: " + c.release_file_name + "\r\nVersion: 1.2.3.5\r\ndownload online?");
  EXPECT_EQ(server_.requests().size(), c.expect_request ? 1u : 0u);
  const fs::path target = install / c.release_file_name;
  if (c.expect_saved) {
    EXPECT_EQ(read_file(target), c.response.body);
    EXPECT_EQ(view_.opened, std::vector<std::string>{target.string()});
  } else {
    EXPECT_TRUE(view_.opened.empty());
  }
  const auto error = std::vector<std::string>{"Error while downloading " + c.release_file_name};
  EXPECT_EQ(view_.messages, c.expect_error ? error : std::vector<std::string>{});
  // Nothing but the saved release is ever left, here or above.
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder_.path().parent_path())) {
    if (entry.is_regular_file()) ++files;
  }
  EXPECT_EQ(files, c.expect_saved ? 1u : 0u);
}

const CannedResponse kRelease{200, "release bytes"};

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloadAction,
    ::testing::Values(
        DownloadCase{"yes", Answer::Yes, "lumigrid-1.2.3.5.zip", kRelease, true, true, false},
        DownloadCase{"no", Answer::No, "lumigrid-1.2.3.5.zip", kRelease, false, false, false},
        DownloadCase{"cancel", Answer::Cancel, "lumigrid-1.2.3.5.zip", kRelease, false, false,
                     false},
        DownloadCase{"blank_name", Answer::Yes, "  ", kRelease, false, false, false},
        DownloadCase{"leading_blank", Answer::Yes, " lumigrid.zip", kRelease, false, false, true},
        DownloadCase{"right_to_left_override", Answer::Yes, "\u202eqwerty.exe", kRelease, false,
                     false, true},
        DownloadCase{"query_string", Answer::Yes, "x.zip?y=1#frag", kRelease, false, false, true},
        DownloadCase{"not_found", Answer::Yes, "lumigrid.zip", {404, "gone"}, true, false, true},
        DownloadCase{
            "cut_transfer", Answer::Yes, "lumigrid.zip", {200, "partial", true}, true, false, true},
        DownloadCase{"parent_folder", Answer::Yes, "../lumigrid.zip", kRelease, false, false, true},
        DownloadCase{"parent_itself", Answer::Yes, "..", kRelease, false, false, true},
        DownloadCase{"sub_folder", Answer::Yes, "sub/lumigrid.zip", kRelease, false, false, true},
        DownloadCase{"backslash", Answer::Yes, "..\\lumigrid.zip", kRelease, false, false, true},
        DownloadCase{"absolute", Answer::Yes, "/tmp/lumigrid-escape.zip", kRelease, false, false,
                     true},
        DownloadCase{"drive", Answer::Yes, "C:lumigrid.zip", kRelease, false, false, true}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(UpdateCheck, FailedReleaseDownloadKeepsTheOldFile) {
  write_file(folder_.path() / "lumigrid.zip", "old release");
  server_.serve("/NAS_file_Share/lumigrid/lumigrid.zip", {200, "new release, cut", true});
  UpdateState state = fresh_state(server_, "1.2.3.4");
  state.release_file_name = "lumigrid.zip";
  run_download_action(state, view_, folder_.path().string());
  EXPECT_EQ(view_.messages, std::vector<std::string>{"Error while downloading lumigrid.zip"});
  EXPECT_EQ(read_file(folder_.path() / "lumigrid.zip"), "old release");
}

// Before any good check the action offers the executable's own name: the running executable is
// never replaced.
TEST_F(UpdateCheck, NeverReplacesTheRunningExecutable) {
  const fs::path executable = fs::read_symlink("/proc/self/exe");
  const auto size_before = fs::file_size(executable);
  const auto time_before = fs::last_write_time(executable);
  UpdateState state = fresh_state(server_, "1.2.3.4");
  state.release_file_name = executable.filename().string();
  server_.serve("/NAS_file_Share/lumigrid/" + state.release_file_name, {200, "not a program"});
  run_download_action(state, view_, executable.parent_path().string());
  EXPECT_EQ(view_.messages,
            std::vector<std::string>{"Error while downloading " + state.release_file_name});
  EXPECT_EQ(fs::file_size(executable), size_before);
  EXPECT_EQ(fs::last_write_time(executable), time_before);
  EXPECT_TRUE(view_.opened.empty());
}

}  // namespace
}  // namespace lumigrid::about
