#include "app/udp_transport.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <string>
#include <thread>

namespace orvane::app {
namespace {

using namespace std::chrono_literals;

// A plain UDP socket on loopback playing the login server (or a forger).
class Peer {
 public:
  explicit Peer(const char* address = "127.0.0.1") : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, address, &a.sin_addr);
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t n = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
    port_ = ntohs(a.sin_port);
    timeval tv{2, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  }
  ~Peer() { close(fd_); }
  std::uint16_t Port() const { return port_; }

  // Receives one request; returns its size (-1 on none) and remembers the sender.
  ssize_t Receive(std::string* data = nullptr) {
    std::array<char, 4096> buffer{};
    socklen_t n = sizeof client_;
    ssize_t got =
        recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&client_), &n);
    if (data != nullptr && got > 0) data->assign(buffer.data(), static_cast<std::size_t>(got));
    return got;
  }
  void SendTo(const sockaddr_in& to, std::string_view text) {
    sendto(fd_, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }
  void Answer(std::string_view text) { SendTo(client_, text); }
  const sockaddr_in& Client() const { return client_; }

 private:
  int fd_;
  std::uint16_t port_ = 0;
  sockaddr_in client_{};
};

class UdpTransportTest : public ::testing::Test {
 protected:
  UdpTransportTest() {
    EXPECT_TRUE(transport.SocketOk());
    EXPECT_TRUE(transport.Resolve("127.0.0.1", server.Port()));
    transport.SetReceiveTimeout(300ms);
  }
  Peer server;
  UdpTransport transport;
};

TEST_F(UdpTransportTest, SendsExactly1024BytesAndReadsReplyToFirstZero) {
  std::string request;
  std::thread peer([&] {
    EXPECT_EQ(server.Receive(&request), 1024);
    server.Answer(std::string("login_chrg\0trailing", 19));
  });
  ExchangeResult r = transport.Exchange(std::string(2000, 'a'));
  peer.join();
  EXPECT_EQ(r.status, ExchangeStatus::kReplied);
  EXPECT_EQ(r.replyText, "login_chrg");
  ASSERT_EQ(request.size(), 1024u);
  EXPECT_EQ(request.find('\0'), 1023u);
}

TEST_F(UdpTransportTest, NoAnswerEndsAtTheTimeout) {
  auto start = std::chrono::steady_clock::now();
  ExchangeResult r = transport.Exchange("login_a;b;;V;");
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r.status, ExchangeStatus::kNoAnswer);
  EXPECT_GE(waited, 250ms);
  EXPECT_EQ(server.Receive(), 1024);
}

TEST_F(UdpTransportTest, ForgedReplyFromAnotherAddressIsIgnored) {
  Peer forger("127.0.0.2");
  std::thread peer([&] {
    server.Receive();
    forger.SendTo(server.Client(), "login_chrg");
    std::this_thread::sleep_for(50ms);
    server.Answer("login_fail_wrong");
  });
  ExchangeResult r = transport.Exchange("login_a;b;;V;");
  peer.join();
  EXPECT_EQ(r.status, ExchangeStatus::kReplied);
  EXPECT_EQ(r.replyText, "login_fail_wrong");

  // A forged reply alone admits nobody: the wait runs into the time-out.
  std::thread onlyForged([&] {
    server.Receive();
    forger.SendTo(server.Client(), "login_chrg");
  });
  EXPECT_EQ(transport.Exchange("login_a;b;;V;").status, ExchangeStatus::kNoAnswer);
  onlyForged.join();
}

TEST_F(UdpTransportTest, LateReplyToAnEarlierRequestIsNotTaken) {
  EXPECT_EQ(transport.Exchange("login_a;old;;V;").status, ExchangeStatus::kNoAnswer);
  server.Receive();
  server.Answer("login_chrg");  // arrives after the client gave up
  std::this_thread::sleep_for(20ms);
  std::thread peer([&] {
    server.Receive();
    server.Answer("login_fail_x");
  });
  ExchangeResult r = transport.Exchange("login_a;new;;V;");
  peer.join();
  EXPECT_EQ(r.replyText, "login_fail_x");
}

TEST(UdpTransport, UnresolvedServerIsASendFailure) {
  UdpTransport transport;
  EXPECT_FALSE(transport.Resolve("no-such-host.invalid", 10003));
  EXPECT_EQ(transport.Exchange("x").status, ExchangeStatus::kSendFailed);
}

}  // namespace
}  // namespace orvane::app
