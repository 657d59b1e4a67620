// Request datagrams to the login service: never a crash, a reply only to a well-formed one.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/login_protocol.h"
#include "server/login_service.h"

namespace {

orvane::server::LoginService& Service() {
  static orvane::server::LoginService* service = [] {
    orvane::server::LoginServiceOptions options;
    options.databasePath = ":memory:";
    options.cheapHashing = true;
    options.attemptBurst = 1e12;
    options.idFailureBurst = 1e12;
    options.addressFailureBurst = 1e12;
    auto* s = new orvane::server::LoginService(options);
    if (!s->OpenDatabase()) __builtin_trap();
    return s;
  }();
  return *service;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view datagram(reinterpret_cast<const char*>(data), size);
  std::uint32_t sender = size > 0 ? data[0] : 0;
  auto reply =
      Service().HandleDatagram(datagram, sender, orvane::server::LoginService::Clock::now());
  if (reply && reply->size() >= orvane::protocol::kDatagramSize) __builtin_trap();
  return 0;
}
