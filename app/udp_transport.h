#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/login_transport.h"

namespace orvane::app {

// The process's one IPv4 datagram socket to the login server.
class UdpTransport : public LoginTransport {
 public:
  UdpTransport();
  ~UdpTransport() override;
  UdpTransport(const UdpTransport&) = delete;
  UdpTransport& operator=(const UdpTransport&) = delete;

  // False when the socket could not be created ("sock failed").
  bool SocketOk() const { return fd_ >= 0; }

  // Resolves the server and makes it the socket's default peer. False when the name does
  // not resolve; exchanges then fail to send.
  bool Resolve(const std::string& host, std::uint16_t port);

  void SetReceiveTimeout(std::chrono::milliseconds timeout) override { timeout_ = timeout; }
  ExchangeResult Exchange(std::string_view wireText) override;

  std::chrono::milliseconds ReceiveTimeout() const { return timeout_; }
  const sockaddr_in& ServerAddress() const { return server_; }

 private:
  void DropPendingDatagrams();

  int fd_ = -1;
  sockaddr_in server_{};
  std::chrono::milliseconds timeout_{0};
};

}  // namespace orvane::app
