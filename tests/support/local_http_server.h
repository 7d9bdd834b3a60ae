#pragma once
// A small HTTP server on 127.0.0.1 for the update-check tests: it serves canned responses by
// path, one connection at a time, on a thread of its own, and records every requested path.
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lumigrid::testing {

struct CannedResponse {
  int status = 200;
  std::string body;
  // Announces more bytes than it sends, then closes: a cut transfer.
  bool cut_short = false;
  // Sends the headers, then the body one byte every this many milliseconds.
  int trickle_ms = 0;
  // Reads the request and then holds the connection without a word until the client leaves.
  bool never_answer = false;
};

class LocalHttpServer {
 public:
  LocalHttpServer();
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  // "127.0.0.1:port", usable as the update host.
  std::string host() const;

  // Serves `response` for the decoded `path` from now on.
  void serve(const std::string& path, CannedResponse response);
  // Serves the responses in turn for `path`; the last one is repeated.
  void serve_in_turn(const std::string& path, std::vector<CannedResponse> responses);

  // Decoded paths of the requests received so far.
  std::vector<std::string> requests() const;

  // A port on 127.0.0.1 where nothing listens.
  static int closed_port();

 private:
  void run();
  void answer(int connection);
  bool wait_unless_gone(int connection, int ms);

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::map<std::string, std::vector<CannedResponse>> routes_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace lumigrid::testing
