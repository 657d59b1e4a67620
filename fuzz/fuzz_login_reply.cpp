// Reply datagrams as they come off the wire: text to the first zero, the grammar, CP949.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "data/text_codec.h"
#include "protocol/login_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view datagram(reinterpret_cast<const char*>(data), size);
  std::string_view text = orvane::protocol::DatagramText(datagram);
  orvane::protocol::LoginReply reply = orvane::protocol::ParseReply(text);
  std::size_t total = reply.firstField.size() + reply.ReplyStatus.size() + reply.ReplyDetail.size();
  if (total > text.size()) __builtin_trap();
  std::string shown = orvane::DecodeCp949(reply.ReplyDetail);
  std::string back = orvane::EncodeCp949(shown);
  (void)orvane::protocol::CheckIdText(text);
  return back.size() > 4 * size + 16 ? 1 : 0;
}
