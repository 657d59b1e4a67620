#include "server/bounded_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

namespace orvane::server {
namespace {

constexpr int kStopCheckMs = 100;

thread_local bool closeAfterResponse = false;

int ToMs(time_t sec, time_t usec) { return static_cast<int>(sec * 1000 + usec / 1000); }

bool WaitFor(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  int rc;
  do {
    rc = ::poll(&p, 1, timeoutMs);
  } while (rc < 0 && errno == EINTR);
  return rc > 0;
}

void AddressText(const sockaddr_storage& addr, std::string& ip, int& port) {
  std::array<char, INET6_ADDRSTRLEN> text{};
  if (addr.ss_family == AF_INET) {
    const auto& a = reinterpret_cast<const sockaddr_in&>(addr);
    ::inet_ntop(AF_INET, &a.sin_addr, text.data(), text.size());
    port = ntohs(a.sin_port);
  } else if (addr.ss_family == AF_INET6) {
    const auto& a = reinterpret_cast<const sockaddr_in6&>(addr);
    ::inet_ntop(AF_INET6, &a.sin6_addr, text.data(), text.size());
    port = ntohs(a.sin6_port);
  }
  ip = text.data();
}

// A socket stream with its own read buffer and a byte budget that each request starts afresh.
class BudgetStream final : public httplib::Stream {
 public:
  BudgetStream(int fd, int readTimeoutMs, int writeTimeoutMs)
      : fd_(fd), readTimeoutMs_(readTimeoutMs), writeTimeoutMs_(writeTimeoutMs) {}

  void ResetBudget(std::size_t bytes) { budget_ = bytes; }
  bool HasBuffered() const { return pos_ < len_; }
  bool BudgetSpent() const { return budget_ == 0; }

  bool is_readable() const override {
    return HasBuffered() || WaitFor(fd_, POLLIN, readTimeoutMs_);
  }
  bool is_writable() const override { return WaitFor(fd_, POLLOUT, writeTimeoutMs_); }

  ssize_t read(char* ptr, std::size_t size) override {
    if (budget_ == 0) return -1;
    size = std::min(size, budget_);
    if (!HasBuffered()) {
      if (!WaitFor(fd_, POLLIN, readTimeoutMs_)) return -1;
      ssize_t n;
      do {
        n = ::recv(fd_, buffer_.data(), buffer_.size(), 0);
      } while (n < 0 && errno == EINTR);
      if (n <= 0) return n;
      pos_ = 0;
      len_ = static_cast<std::size_t>(n);
    }
    const std::size_t n = std::min(size, len_ - pos_);
    std::memcpy(ptr, buffer_.data() + pos_, n);
    pos_ += n;
    budget_ -= n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, std::size_t size) override {
    if (!is_writable()) return -1;
    ssize_t n;
    do {
      n = ::send(fd_, ptr, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage addr{};
    socklen_t len = sizeof(addr);
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      AddressText(addr, ip, port);
    }
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage addr{};
    socklen_t len = sizeof(addr);
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      AddressText(addr, ip, port);
    }
  }
  socket_t socket() const override { return fd_; }

 private:
  int fd_;
  int readTimeoutMs_;
  int writeTimeoutMs_;
  std::size_t budget_ = 0;
  std::array<char, 4096> buffer_{};
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
};

}  // namespace

void BoundedHttpServer::CloseAfterResponse() { closeAfterResponse = true; }

bool BoundedHttpServer::process_and_close_socket(socket_t sock) {
  // Headers and body go out in separate writes; without this each response waits for the
  // peer's delayed acknowledgement.
  int one = 1;
  ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
  BudgetStream stream(sock, ToMs(read_timeout_sec_, read_timeout_usec_),
                      ToMs(write_timeout_sec_, write_timeout_usec_));
  bool ok = false;
  for (std::size_t left = keep_alive_max_count_; left > 0; --left) {
    // Wait for the next request of a kept-alive connection, watching for a stop meanwhile.
    bool ready = stream.HasBuffered();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(keep_alive_timeout_sec_);
    while (!ready && svr_sock_ != INVALID_SOCKET && std::chrono::steady_clock::now() < deadline) {
      ready = WaitFor(sock, POLLIN, kStopCheckMs);
    }
    if (!ready || svr_sock_ == INVALID_SOCKET) break;
    stream.ResetBudget(maxRequestBytes_);
    bool closed = false;
    closeAfterResponse = false;
    ok = process_request(stream, left == 1, closed, nullptr);
    if (!ok || closed || closeAfterResponse || stream.BudgetSpent()) break;
  }
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  return ok;
}

}  // namespace orvane::server
