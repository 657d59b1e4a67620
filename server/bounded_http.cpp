#include "server/bounded_http.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <unordered_map>

#include "server/request_head.h"

namespace orvane::server {
namespace {

using Clock = std::chrono::steady_clock;

// How often blocked waits look at the stop flag, and the event loop at deadlines.
constexpr int kStopCheckMs = 100;
// Descriptors kept free for files being served and the rest of the process.
constexpr std::size_t kSpareDescriptors = 128;

// A worker that answered a request waits this long for the next one on the same connection
// before handing it back to the event thread: a busy client keeps its worker, an idle one
// costs it no more than this.
constexpr int kLingerMs = 5;

thread_local bool closeAfterResponse = false;

int ToMs(time_t sec, time_t usec) { return static_cast<int>(sec * 1000 + usec / 1000); }

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

// Waits for events on fd in short slices so that a stop ends the wait; false on time-out, stop
// or error.
bool WaitFor(int fd, short events, int timeoutMs, const std::atomic<bool>& stopping) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!stopping) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, events, 0};
    const int rc = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, kStopCheckMs)));
    if (rc > 0) return (p.revents & (events | POLLHUP | POLLERR)) != 0;
    if (rc < 0 && errno != EINTR) return false;
  }
  return false;
}

// A socket stream that first hands out the bytes the event thread read, then reads the socket,
// with a byte budget for the request.
class BudgetStream final : public httplib::Stream {
 public:
  BudgetStream(int fd, std::string buffered, std::size_t budget, int readTimeoutMs,
               int writeTimeoutMs, const std::atomic<bool>& stopping)
      : fd_(fd),
        buffer_(std::move(buffered)),
        budget_(budget),
        readTimeoutMs_(readTimeoutMs),
        writeTimeoutMs_(writeTimeoutMs),
        stopping_(stopping) {}

  bool BudgetSpent() const { return budget_ == 0; }
  std::string Leftover() const { return buffer_.substr(pos_); }

  bool is_readable() const override {
    return pos_ < buffer_.size() || WaitFor(fd_, POLLIN, readTimeoutMs_, stopping_);
  }
  bool is_writable() const override { return WaitFor(fd_, POLLOUT, writeTimeoutMs_, stopping_); }

  ssize_t read(char* ptr, std::size_t size) override {
    if (budget_ == 0) return -1;
    size = std::min(size, budget_);
    if (pos_ == buffer_.size()) {
      if (!WaitFor(fd_, POLLIN, readTimeoutMs_, stopping_)) return -1;
      std::array<char, 4096> chunk{};
      ssize_t n;
      do {
        n = ::recv(fd_, chunk.data(), chunk.size(), 0);
      } while (n < 0 && errno == EINTR);
      if (n <= 0) return n;
      buffer_.assign(chunk.data(), static_cast<std::size_t>(n));
      pos_ = 0;
    }
    const std::size_t n = std::min(size, buffer_.size() - pos_);
    std::memcpy(ptr, buffer_.data() + pos_, n);
    pos_ += n;
    budget_ -= n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, std::size_t size) override {
    for (;;) {
      if (!is_writable()) return -1;
      const ssize_t n = ::send(fd_, ptr, size, MSG_NOSIGNAL);
      if (n >= 0 || (errno != EINTR && errno != EAGAIN)) return n;
    }
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
  std::string buffer_;
  std::size_t pos_ = 0;
  std::size_t budget_;
  int readTimeoutMs_;
  int writeTimeoutMs_;
  const std::atomic<bool>& stopping_;
};

// The request at the front of buffered, with its head tamed, once it is complete: the head and
// any body it announces within the budget, or as many bytes as the budget allows (the library
// then refuses it).
std::optional<std::string> CompleteRequest(std::string& buffered, std::size_t maxBytes) {
  const auto headLength = RequestHeadLength(buffered);
  if (!headLength) {
    if (buffered.size() < maxBytes) return std::nullopt;
    return std::move(buffered);
  }
  const auto body = AnnouncedBodyLength(std::string_view(buffered).substr(0, *headLength));
  if (body && *body < maxBytes && buffered.size() < std::min(*headLength + *body, maxBytes)) {
    return std::nullopt;
  }
  return TameRequestHead(std::string_view(buffered).substr(0, *headLength)) +
         buffered.substr(*headLength);
}

std::size_t DescriptorRoom() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
  const auto room = static_cast<std::size_t>(limit.rlim_cur);
  return room > 2 * kSpareDescriptors ? room - kSpareDescriptors : room / 2;
}

}  // namespace

// A connection the event thread holds between requests.
struct BoundedHttpServer::Waiting {
  std::string address;
  std::string buffered;
  std::size_t served = 0;
  Clock::time_point deadline;
  bool headStarted = false;
  bool withWorker = false;
};

BoundedHttpServer::BoundedHttpServer(const HttpLimits& limits) : limits_(limits) {
  limits_.maxConnections = std::min(limits_.maxConnections, DescriptorRoom());
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

BoundedHttpServer::~BoundedHttpServer() {
  Shutdown();
  const socket_t listening = svr_sock_.exchange(INVALID_SOCKET);
  if (listening != INVALID_SOCKET) ::close(listening);
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void BoundedHttpServer::CloseAfterResponse() { closeAfterResponse = true; }

void BoundedHttpServer::Wake() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void BoundedHttpServer::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  jobReady_.notify_all();
  Wake();
}

void BoundedHttpServer::Answer(Job& job, bool& keep) {
  BudgetStream stream(job.fd, std::move(job.buffered), limits_.maxRequestBytes,
                      ToMs(read_timeout_sec_, read_timeout_usec_),
                      ToMs(write_timeout_sec_, write_timeout_usec_), stopping_);
  ++job.served;
  bool closed = false;
  closeAfterResponse = false;
  const bool ok = process_request(stream, job.served >= keep_alive_max_count_, closed, nullptr);
  keep = ok && !closed && !closeAfterResponse && !stream.BudgetSpent() && !stopping_;
  job.buffered = stream.Leftover();
}

void BoundedHttpServer::GiveBack(Job job, bool keep) {
  {
    std::lock_guard lock(mutex_);
    returned_.push_back({std::move(job), keep});
  }
  Wake();
}

void BoundedHttpServer::Work() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      jobReady_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    bool keep = false;
    Answer(job, keep);
    while (keep && job.served < keep_alive_max_count_) {
      if (auto request = CompleteRequest(job.buffered, limits_.maxRequestBytes)) {
        job.buffered = std::move(*request);
        Answer(job, keep);
        continue;
      }
      pollfd p{job.fd, POLLIN, 0};
      if (::poll(&p, 1, kLingerMs) != 1) break;
      std::array<char, 8192> chunk{};
      const ssize_t n = ::recv(job.fd, chunk.data(), chunk.size(), 0);
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (n <= 0) keep = false;
      if (n > 0) job.buffered.append(chunk.data(), static_cast<std::size_t>(n));
    }
    GiveBack(std::move(job), keep);
  }
}

bool BoundedHttpServer::Serve() {
  const int listening = svr_sock_;
  if (stopping_) return true;
  if (listening == INVALID_SOCKET) return false;
  ::fcntl(listening, F_SETFL, ::fcntl(listening, F_GETFL) | O_NONBLOCK);
  // The library listens with a backlog of 5: a burst of connects would wait for SYN retries.
  ::listen(listening, SOMAXCONN);
  const int poller = ::epoll_create1(EPOLL_CLOEXEC);
  if (poller < 0 || wakeFd_ < 0) return false;
  auto watch = [poller](int fd) {
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.fd = fd;
    ::epoll_ctl(poller, EPOLL_CTL_ADD, fd, &e);
  };
  watch(listening);
  watch(wakeFd_);

  for (std::size_t i = 0; i < limits_.workers; ++i) workers_.emplace_back([this] { Work(); });

  std::unordered_map<int, Waiting> connections;
  std::unordered_map<std::string, std::size_t> perAddress;
  auto drop = [&](int fd) {
    const auto it = connections.find(fd);
    if (it == connections.end()) return;
    if (!it->second.withWorker) ::epoll_ctl(poller, EPOLL_CTL_DEL, fd, nullptr);
    const auto count = perAddress.find(it->second.address);
    if (count != perAddress.end() && --count->second == 0) perAddress.erase(count);
    connections.erase(it);
    ::close(fd);
  };
  auto waitForRequest = [&](int fd, Waiting& c, Clock::time_point now) {
    c.withWorker = false;
    c.headStarted = !c.buffered.empty();
    c.deadline = now + (c.headStarted ? limits_.headDeadline : limits_.idleTimeout);
    watch(fd);
  };
  // Hands a complete request to the workers; false while it is still incomplete.
  auto dispatch = [&](int fd, Waiting& c) {
    std::optional<std::string> request = CompleteRequest(c.buffered, limits_.maxRequestBytes);
    if (!request) return false;
    c.buffered.clear();
    {
      std::lock_guard lock(mutex_);
      if (jobs_.size() >= limits_.maxQueuedRequests) {
        c.withWorker = false;
        return true;  // the caller finds the connection not handed over and closes it
      }
      jobs_.push_back({fd, std::move(*request), c.served});
    }
    ::epoll_ctl(poller, EPOLL_CTL_DEL, fd, nullptr);
    c.withWorker = true;
    jobReady_.notify_one();
    return true;
  };
  auto accept = [&](Clock::time_point now) {
    for (;;) {
      sockaddr_storage peer{};
      socklen_t length = sizeof peer;
      const int fd = ::accept4(listening, reinterpret_cast<sockaddr*>(&peer), &length,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) return;
      std::string address;
      int port = 0;
      AddressText(peer, address, port);
      std::size_t& fromThere = perAddress[address];
      if (connections.size() >= limits_.maxConnections ||
          fromThere >= limits_.maxConnectionsPerAddress) {
        if (fromThere == 0) perAddress.erase(address);
        ::close(fd);
        continue;
      }
      ++fromThere;
      // Headers and body go out in separate writes; without this each response waits for the
      // peer's delayed acknowledgement.
      int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      Waiting& c = connections[fd];
      c.address = std::move(address);
      waitForRequest(fd, c, now);
    }
  };
  auto readFrom = [&](int fd, Clock::time_point now) {
    Waiting& c = connections.at(fd);
    std::array<char, 8192> chunk{};
    const ssize_t n = ::recv(fd, chunk.data(), chunk.size(), 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) return drop(fd);
    if (!c.headStarted) {
      c.headStarted = true;
      c.deadline = now + limits_.headDeadline;
    }
    c.buffered.append(chunk.data(), static_cast<std::size_t>(n));
    if (dispatch(fd, c) && !c.withWorker) drop(fd);
  };
  auto takeBack = [&](Clock::time_point now) {
    std::vector<Returned> back;
    {
      std::lock_guard lock(mutex_);
      back.swap(returned_);
    }
    for (Returned& r : back) {
      Waiting& c = connections.at(r.job.fd);
      if (!r.keep) {
        drop(r.job.fd);
        continue;
      }
      c.buffered = std::move(r.job.buffered);
      c.served = r.job.served;
      if (!c.buffered.empty() && dispatch(r.job.fd, c)) {
        if (!c.withWorker) drop(r.job.fd);
        continue;
      }
      waitForRequest(r.job.fd, c, now);
    }
  };

  std::array<epoll_event, 256> events{};
  auto nextSweep = Clock::now();
  while (!stopping_) {
    const int n =
        ::epoll_wait(poller, events.data(), static_cast<int>(events.size()), kStopCheckMs);
    const auto now = Clock::now();
    for (int i = 0; i < n; ++i) {
      const int fd = events[i].data.fd;
      if (fd == listening) {
        accept(now);
      } else if (fd == wakeFd_) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = ::read(wakeFd_, &count, sizeof count);
        takeBack(now);
      } else if (connections.contains(fd) && !connections.at(fd).withWorker) {
        readFrom(fd, now);
      }
    }
    if (now >= nextSweep) {
      nextSweep = now + std::chrono::milliseconds(kStopCheckMs);
      std::vector<int> late;
      for (const auto& [fd, c] : connections) {
        if (!c.withWorker && now >= c.deadline) late.push_back(fd);
      }
      for (int fd : late) drop(fd);
    }
  }

  for (std::jthread& w : workers_) w.join();
  workers_.clear();
  for (Job& job : jobs_) job.fd = -1;  // still listed in connections, closed below
  jobs_.clear();
  returned_.clear();
  for (const auto& entry : connections) ::close(entry.first);
  ::close(poller);
  const socket_t open = svr_sock_.exchange(INVALID_SOCKET);
  if (open != INVALID_SOCKET) ::close(open);
  return true;
}

}  // namespace orvane::server
