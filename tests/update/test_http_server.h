#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the update tests. Each path is
// served as its route says, and a route can misbehave on purpose: answer 404,
// close the connection in the middle of the body, stall before answering,
// trickle the body slowly, or send a body without announcing its length.
// Requests sent through a proxy (absolute URLs) are served by their path, and
// the server remembers every request line it got.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace klimavo::testing {

struct Route {
  enum class Mode {
    kServe,        ///< 200 with the body
    kNotFound,     ///< 404
    kCloseMidway,  ///< announces the whole body, sends `send_bytes`, closes
    kStall,        ///< says nothing for `delay`, then serves
    kTrickle,      ///< sends the body `chunk` bytes every `delay`
  };
  std::string body;
  Mode mode = Mode::kServe;
  bool announce_length = true;  ///< false: no Content-Length, the end is the close
  std::size_t send_bytes = 0;
  std::size_t chunk = 1;
  std::chrono::milliseconds delay{0};
};

class TestHttpServer {
 public:
  TestHttpServer() {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listen_fd_, 16);
    socklen_t length = sizeof address;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
  }

  ~TestHttpServer() {
    stop_.store(true);
    acceptor_.join();
    for (std::thread& t : connections_) t.join();
    ::close(listen_fd_);
  }

  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  int Port() const { return port_; }
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

  /// Serves `path` (e.g. "/upld/ac/v2/up.txt") as `route` says.
  void Set(const std::string& path, Route route) {
    std::lock_guard lock(mutex_);
    routes_[path] = std::move(route);
  }
  void Serve(const std::string& path, std::string body) { Set(path, Route{std::move(body)}); }

  /// The request targets received so far, in order (absolute URLs when proxied).
  std::vector<std::string> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  /// How many requests asked for `path` (directly or through a proxy).
  int RequestsFor(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count(paths_.begin(), paths_.end(), path));
  }

 private:
  void AcceptLoop() {
    while (!stop_.load()) {
      pollfd p{listen_fd_, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0) continue;
      const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      connections_.emplace_back([this, fd] {
        Handle(fd);
        ::close(fd);
      });
    }
  }

  // Sleeps in small steps; false when the server stops or the client has gone.
  bool Wait(int fd, std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
      if (stop_.load()) return false;
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 5) > 0) {
        char c;
        if (::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) <= 0) return false;
      }
    }
    return !stop_.load();
  }

  bool Send(int fd, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
      const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  void Handle(int fd) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      pollfd p{fd, POLLIN, 0};
      if (stop_.load()) return;
      if (::poll(&p, 1, 10) <= 0) continue;
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      request.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t first_space = request.find(' ');
    const std::size_t second_space = request.find(' ', first_space + 1);
    const std::string target = request.substr(first_space + 1, second_space - first_space - 1);
    std::string path = target;
    if (const std::size_t scheme = path.find("://"); scheme != std::string::npos) {
      const std::size_t slash = path.find('/', scheme + 3);
      path = slash == std::string::npos ? "/" : path.substr(slash);
    }
    Route route;
    bool found = false;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(target);
      paths_.push_back(path);
      if (auto it = routes_.find(path); it != routes_.end()) {
        route = it->second;
        found = true;
      }
    }
    if (!found || route.mode == Route::Mode::kNotFound) {
      Send(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot found");
      return;
    }
    if (route.mode == Route::Mode::kStall && !Wait(fd, route.delay)) return;
    std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
    if (route.announce_length) head += "Content-Length: " + std::to_string(route.body.size()) + "\r\n";
    if (!Send(fd, head + "\r\n")) return;
    switch (route.mode) {
      case Route::Mode::kCloseMidway:
        Send(fd, route.body.substr(0, route.send_bytes));
        return;
      case Route::Mode::kTrickle:
        for (std::size_t pos = 0; pos < route.body.size(); pos += route.chunk) {
          if (!Send(fd, route.body.substr(pos, route.chunk))) return;
          if (!Wait(fd, route.delay)) return;
        }
        return;
      default:
        Send(fd, route.body);
    }
  }

  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread acceptor_;
  std::vector<std::thread> connections_;  // touched by the acceptor thread only, joined after it
  mutable std::mutex mutex_;
  std::map<std::string, Route> routes_;
  std::vector<std::string> requests_;
  std::vector<std::string> paths_;
};

}  // namespace klimavo::testing
