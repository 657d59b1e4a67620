// HTTP request heads as the content service's front reads them: never a crash, and the head it
// hands on is stable (taming it again changes nothing) and never grows beyond one header.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "server/request_head.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto length = orvane::server::RequestHeadLength(bytes);
  if (length && *length > size) __builtin_trap();
  const std::string_view head = bytes.substr(0, length.value_or(size));
  orvane::server::AnnouncedBodyLength(head);
  const std::string tamed = orvane::server::TameRequestHead(head);
  if (orvane::server::TameRequestHead(tamed) != tamed) __builtin_trap();
  return 0;
}
