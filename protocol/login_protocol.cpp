#include "protocol/login_protocol.h"

#include <algorithm>

#include "data/text_codec.h"

namespace orvane::protocol {

std::string BuildLoginMessage(std::string_view id, std::string_view password,
                              std::string_view adapterText, std::string_view version) {
  std::string message = "login_";
  for (std::string_view field : {id, password, adapterText, version}) {
    message.append(field);
    message.push_back(';');
  }
  return message;
}

std::string BuildJoinMessage(const JoinForm& form, std::string_view adapterText,
                             std::string_view version) {
  std::string message = "joincl_";
  for (std::string_view field : {std::string_view(form.id), std::string_view(form.password),
                                 std::string_view(form.name), std::string_view(form.phone),
                                 std::string_view(), std::string_view(), adapterText, version}) {
    message.append(field);
    message.push_back(';');
  }
  return message;
}

LoginReply ParseReply(std::string_view text) {
  LoginReply reply;
  std::size_t first = text.find('_');
  if (first == std::string_view::npos) {
    reply.ReplyStatus = std::string(text);
    return reply;
  }
  reply.firstField = std::string(text.substr(0, first));
  std::string_view rest = text.substr(first + 1);
  std::size_t second = rest.find('_');
  reply.ReplyStatus = std::string(rest.substr(0, second));
  if (second != std::string_view::npos) reply.ReplyDetail = std::string(rest.substr(second + 1));
  return reply;
}

std::string WireDatagram(std::string_view text) {
  std::string datagram(kDatagramSize, '\0');
  std::copy_n(text.begin(), std::min(text.size(), kDatagramSize - 1), datagram.begin());
  return datagram;
}

std::string_view DatagramText(std::string_view datagram) {
  return datagram.substr(0, datagram.find('\0'));
}

std::optional<std::string_view> CheckIdText(std::string_view id) {
  for (char c : id) {
    auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) return text::kIdHangul;
    bool alnum = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                 (byte >= '0' && byte <= '9');
    if (!alnum) return text::kIdSpecial;
  }
  return std::nullopt;
}

std::optional<std::string_view> CheckJoinForm(const JoinForm& form) {
  if (form.password != form.passwordAgain) return text::kPasswordsDiffer;
  if (auto idMessage = CheckIdText(form.id)) return idMessage;
  if (Cp949ByteCount(form.id) < 7) return text::kIdTooShort;
  if (Cp949ByteCount(form.password) < 6) return text::kPasswordTooShort;
  if (Cp949ByteCount(form.name) < 2) return text::kNameInvalid;
  if (Cp949ByteCount(form.phone) != 11) return text::kPhoneInvalid;
  return std::nullopt;
}

}  // namespace orvane::protocol
