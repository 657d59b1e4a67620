#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvane::server {

struct HttpLimits {
  std::size_t maxRequestBytes = std::size_t{16} * 1024;  // request line, headers and body
  std::size_t maxConnections = 4096;                     // cut to what the descriptor limit allows
  std::size_t maxConnectionsPerAddress = 64;
  // From the first byte of a request head to its end, however the bytes trickle in.
  std::chrono::milliseconds headDeadline{10000};
  // A connection that has not begun a request for this long is closed.
  std::chrono::milliseconds idleTimeout{5000};
  std::size_t workers = 16;
  std::size_t maxQueuedRequests = 1024;
};

// An httplib server with its own front: one event thread holds every connection while it
// waits for a request and reads each head whole, with a deadline, before a worker sees it. So
// idle and slow clients cost a descriptor and a few bytes, never a worker; connections are
// bounded in total and per address. Workers only answer complete requests.
class BoundedHttpServer : public httplib::Server {
 public:
  explicit BoundedHttpServer(const HttpLimits& limits);
  ~BoundedHttpServer() override;

  // Serves on the socket bound by bind_to_port or bind_to_any_port until Shutdown().
  bool Serve();
  // Ends Serve promptly: waiting and queued connections are closed, answers under way are cut
  // off within about 100 ms. Safe before, during and after Serve, from any thread.
  void Shutdown();

  // Called while a request is answered (from a handler of this thread): the connection closes
  // after the response instead of waiting for another request. Used for malformed requests,
  // whose unread rest must not be taken for the next request.
  static void CloseAfterResponse();

 private:
  struct Job {
    int fd = -1;
    std::string buffered;  // the head and whatever followed it
    std::size_t served = 0;
  };
  struct Returned {
    Job job;
    bool keep = false;
  };
  struct Waiting;

  void Work();
  void Answer(Job& job, bool& keep);
  void GiveBack(Job job, bool keep);
  void Wake();

  HttpLimits limits_;
  std::atomic<bool> stopping_{false};
  int wakeFd_ = -1;

  std::mutex mutex_;
  std::condition_variable jobReady_;
  std::deque<Job> jobs_;
  std::vector<Returned> returned_;
  std::vector<std::jthread> workers_;
};

}  // namespace orvane::server
