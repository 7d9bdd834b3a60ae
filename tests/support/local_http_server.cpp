#include "support/local_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace lumigrid::testing {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percent_decode(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
        hex_value(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

void send_all(int connection, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

LocalHttpServer::LocalHttpServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = loopback(0);
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) ||
      ::listen(listener_, 16)) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  socklen_t length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { run(); });
}

LocalHttpServer::~LocalHttpServer() {
  stopping_ = true;
  thread_.join();
  ::close(listener_);
}

std::string LocalHttpServer::host() const {
  return "127.0.0.1:" + std::to_string(port_);
}

void LocalHttpServer::serve(const std::string& path, CannedResponse response) {
  serve_in_turn(path, {std::move(response)});
}

void LocalHttpServer::serve_in_turn(const std::string& path,
                                    std::vector<CannedResponse> responses) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[path] = std::move(responses);
}

std::vector<std::string> LocalHttpServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

int LocalHttpServer::closed_port() {
  const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = loopback(0);
  ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(probe);
  return ntohs(address.sin_port);
}

void LocalHttpServer::run() {
  while (!stopping_) {
    pollfd waiting{listener_, POLLIN, 0};
    if (::poll(&waiting, 1, 20) <= 0) continue;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    answer(connection);
    ::close(connection);
  }
}

void LocalHttpServer::answer(int connection) {
  std::string request;
  char chunk[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    const ssize_t n = ::recv(connection, chunk, sizeof chunk, 0);
    if (n <= 0) return;
    request.append(chunk, static_cast<std::size_t>(n));
  }
  const std::size_t path_start = request.find(' ');
  const std::size_t path_end = request.find(' ', path_start + 1);
  if (path_start == std::string::npos || path_end == std::string::npos) return;
  const std::string path =
      percent_decode(request.substr(path_start + 1, path_end - path_start - 1));

  CannedResponse response{404, "not found", false};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(path);
    auto route = routes_.find(path);
    if (route != routes_.end() && !route->second.empty()) {
      response = route->second.front();
      if (route->second.size() > 1) route->second.erase(route->second.begin());
    }
  }
  if (response.never_answer) {
    while (wait_unless_gone(connection, 20)) {
    }
    return;
  }
  const std::size_t announced = response.body.size() + (response.cut_short ? 1000 : 0);
  send_all(connection, "HTTP/1.1 " + std::to_string(response.status) +
                           (response.status < 400 ? " OK" : " Error") +
                           "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                           std::to_string(announced) + "\r\nConnection: close\r\n\r\n");
  if (response.trickle_ms <= 0) {
    send_all(connection, response.body);
    return;
  }
  for (char byte : response.body) {
    if (::send(connection, &byte, 1, MSG_NOSIGNAL) != 1) return;
    if (!wait_unless_gone(connection, response.trickle_ms)) return;
  }
}

// Waits up to `ms`; false when the client has closed its end or the server is stopping.
bool LocalHttpServer::wait_unless_gone(int connection, int ms) {
  if (stopping_) return false;
  pollfd peer{connection, POLLIN, 0};
  if (::poll(&peer, 1, ms) > 0) {
    char byte;
    if (::recv(connection, &byte, 1, MSG_DONTWAIT) <= 0) return false;
  }
  return !stopping_;
}

}  // namespace lumigrid::testing
