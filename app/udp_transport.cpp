#include "app/udp_transport.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "protocol/login_protocol.h"

namespace orvane::app {

UdpTransport::UdpTransport() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}

UdpTransport::~UdpTransport() {
  if (fd_ >= 0) close(fd_);
}

bool UdpTransport::Resolve(const std::string& host, std::uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
  server_ = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  server_.sin_family = AF_INET;
  server_.sin_port = htons(port);
  freeaddrinfo(found);
  // A connected datagram socket also hears of an unreachable port at once.
  // Unconnected, the socket still sends and receives; only that early notice is lost.
  if (fd_ >= 0) (void)connect(fd_, reinterpret_cast<const sockaddr*>(&server_), sizeof server_);
  return true;
}

void UdpTransport::DropPendingDatagrams() {
  std::array<char, protocol::kDatagramSize> sink{};
  while (recv(fd_, sink.data(), sink.size(), MSG_DONTWAIT) >= 0) {
  }
}

ExchangeResult UdpTransport::Exchange(std::string_view wireText) {
  ExchangeResult result;
  if (fd_ < 0 || server_.sin_port == 0) {
    result.status = ExchangeStatus::kSendFailed;
    return result;
  }
  // A late reply to an earlier, timed-out request must not answer this one.
  DropPendingDatagrams();
  std::string datagram = protocol::WireDatagram(wireText);
  if (sendto(fd_, datagram.data(), datagram.size(), MSG_NOSIGNAL,
             reinterpret_cast<const sockaddr*>(&server_), sizeof server_) < 0) {
    result.status = ExchangeStatus::kSendFailed;
    return result;
  }
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout_;
  std::array<char, protocol::kDatagramSize> reply{};
  for (;;) {
    int waitMs = -1;
    if (timeout_.count() > 0) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return result;
      waitMs = static_cast<int>(left.count());
    }
    pollfd p{fd_, POLLIN, 0};
    int ready = poll(&p, 1, waitMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return result;
    reply.fill('\0');
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    ssize_t n = recvfrom(fd_, reply.data(), reply.size(), MSG_DONTWAIT,
                         reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      return result;
    }
    // Only the login server may answer: a datagram from anywhere else is not a reply.
    if (fromLength < sizeof from || from.sin_addr.s_addr != server_.sin_addr.s_addr ||
        from.sin_port != server_.sin_port) {
      continue;
    }
    result.status = ExchangeStatus::kReplied;
    result.replyText = std::string(
        protocol::DatagramText(std::string_view(reply.data(), static_cast<std::size_t>(n))));
    return result;
  }
}

}  // namespace orvane::app
