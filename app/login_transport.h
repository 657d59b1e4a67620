#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace orvane::app {

enum class ExchangeStatus { kReplied, kSendFailed, kNoAnswer };

struct ExchangeResult {
  ExchangeStatus status = ExchangeStatus::kNoAnswer;
  std::string replyText;  // CP949 bytes up to the reply's first zero byte
};

// One request datagram out, one reply datagram back, to and from the login server.
class LoginTransport {
 public:
  virtual ~LoginTransport() = default;
  // Zero means no time-out: the next receive waits for good.
  virtual void SetReceiveTimeout(std::chrono::milliseconds timeout) = 0;
  virtual ExchangeResult Exchange(std::string_view wireText) = 0;
};

}  // namespace orvane::app
