#include "server/bounded_http.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "server/request_head.h"
#include "tests/support/test_support.h"

namespace orvane::server {
namespace {

using namespace std::chrono_literals;

TEST(RequestHead, FindsTheHeadAndTakesOutCostlyRangesAndEncodings) {
  EXPECT_EQ(RequestHeadLength("GET / HTTP/1.1\r\nHost: x\r\n"), std::nullopt);
  EXPECT_EQ(RequestHeadLength("GET / HTTP/1.1\r\nHost: x\r\n\r\nrest"), 27u);
  EXPECT_EQ(RequestHeadLength("GET / HTTP/1.1\nHost: x\n\nrest"), 24u);
  EXPECT_EQ(AnnouncedBodyLength("GET / HTTP/1.1\r\ncontent-length: 12\r\n\r\n"), 12u);
  EXPECT_EQ(AnnouncedBodyLength("GET / HTTP/1.1\r\n\r\n"), 0u);
  EXPECT_EQ(AnnouncedBodyLength("GET / HTTP/1.1\r\nContent-Length: -1\r\n\r\n"), std::nullopt);

  const std::string line = "GET /orvane_img/a.bmp HTTP/1.1\r\n";
  auto tamed = [&](const std::string& header) {
    return TameRequestHead(line + header + "Host: x\r\n\r\n");
  };
  for (const std::string kept : {"bytes=0-9", "bytes=0-9, 20-29", "bytes=-500", "bytes=10-",
                                 "bytes=0-1,2-3,4-5,6-7", "bytes=abc", "bytes=9-0"}) {
    EXPECT_EQ(tamed("Range: " + kept + "\r\n"), line + "Range: " + kept + "\r\nHost: x\r\n\r\n")
        << kept;
  }
  for (const std::string dropped : {"bytes=0-9,5-20", "bytes=0-,100-200", "bytes=-5,0-1",
                                    "bytes=0-1,2-3,4-5,6-7,8-9", "BYTES=0-9,0-9"}) {
    EXPECT_EQ(tamed("range: " + dropped + "\r\n"), line + "Host: x\r\n\r\n") << dropped;
  }
  EXPECT_EQ(tamed("Accept-Encoding: br;q=1, gzip;q=0.5\r\n"),
            line + "Accept-Encoding: gzip\r\nHost: x\r\n\r\n");
  EXPECT_EQ(tamed("Accept-Encoding: br, deflate\r\n"), line + "Host: x\r\n\r\n");
  EXPECT_EQ(TameRequestHead("GET /orvane_data/1.TXT?x HTTP/1.1\r\nAccept-Encoding: gzip\r\n\r\n"),
            "GET /orvane_data/1.TXT?x HTTP/1.1\r\n\r\n");
}

// A connection from a chosen loopback address.
int ConnectFrom(const char* source, int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, source, &local.sin_addr);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(static_cast<std::uint16_t>(port));
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// True when the service closed the connection within the time.
bool ClosedWithin(int fd, std::chrono::milliseconds time) {
  pollfd p{fd, POLLIN, 0};
  char byte = 0;
  return ::poll(&p, 1, static_cast<int>(time.count())) == 1 && ::recv(fd, &byte, 1, 0) == 0;
}

TEST(BoundedHttp, IdleAndSlowClientsHoldNoWorkerAndAreBounded) {
  HttpLimits limits;
  limits.workers = 1;
  limits.maxConnectionsPerAddress = 4;
  limits.headDeadline = 300ms;
  BoundedHttpServer http(limits);
  http.Get("/x", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("ok", "text/plain");
  });
  const int port = http.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread serving([&http] { EXPECT_TRUE(http.Serve()); });

  // Four connections from one address fill its share: three idle, one trickling a head.
  std::vector<int> held;
  for (int i = 0; i < 4; ++i) held.push_back(ConnectFrom("127.0.0.2", port));
  test::SendAll(held[3], "GET /x HTTP/1.1\r\n");
  const int fifth = ConnectFrom("127.0.0.2", port);
  EXPECT_TRUE(ClosedWithin(fifth, 2000ms));
  // The one worker is free for a member from elsewhere.
  const std::string reply =
      test::RawExchange(port, "GET /x HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", 2000ms);
  EXPECT_NE(reply.find("200 OK"), std::string::npos);
  EXPECT_NE(reply.find("\r\n\r\nok"), std::string::npos);
  // The trickling head meets its deadline; the idle ones wait for theirs.
  EXPECT_TRUE(ClosedWithin(held[3], 2000ms));
  EXPECT_FALSE(ClosedWithin(held[0], 0ms));

  const auto stopAt = std::chrono::steady_clock::now();
  http.Shutdown();
  serving.join();
  EXPECT_LT(std::chrono::steady_clock::now() - stopAt, 1s);
  EXPECT_TRUE(ClosedWithin(held[0], 0ms));
  for (int fd : held) ::close(fd);
  ::close(fifth);
}

}  // namespace
}  // namespace orvane::server
