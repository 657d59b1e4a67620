#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvane::protocol {

inline constexpr std::string_view kVersionText = "Ver.1.0.1";
inline constexpr std::string_view kLoginMarker = "WORD!&kq;52#^&Lf";
// The updater ignores its command line; the token only marks a hand-off from the client.
inline constexpr std::string_view kUpdaterToken = "~Renew4x!*~615";
inline constexpr std::uint16_t kLoginPort = 10003;
inline constexpr std::size_t kDatagramSize = 1024;
inline constexpr std::chrono::milliseconds kReceiveTimeout{7000};
inline constexpr std::chrono::milliseconds kRefusalPause{2000};

// Texts shown to the member (UTF-8; "\r" is a carriage return).
namespace text {
inline constexpr std::string_view kIdHangul = "ID는 한글을 사용할수 없습니다.";
inline constexpr std::string_view kIdSpecial = "ID는 특수문자를 사용할수 없습니다.";
inline constexpr std::string_view kLoginSendFailed = "로그인 시도 실패. 관리자에게 문의하세요.";
inline constexpr std::string_view kNoAnswer = "서버로부터 응답이 없습니다. 관리자에게 문의하세요.";
inline constexpr std::string_view kNewVersion = "Orvane 새로운 버젼이 있습니다. \r\r";
inline constexpr std::string_view kAutoUpdate = "Orvane 자동업데이트가 시작됩니다!";
inline constexpr std::string_view kRestart = "Orvane 재시작하세요.";
inline constexpr std::string_view kLoginFailed = "로그인이 실패 하엿습니다. \r\r";
inline constexpr std::string_view kPasswordsDiffer = "비밀번호가 다릅니다.";
inline constexpr std::string_view kIdTooShort = "ID는 7글자 이상이어야 합니다.";
inline constexpr std::string_view kPasswordTooShort = "비밀번호는 6글자 이상이어야 합니다.";
inline constexpr std::string_view kNameInvalid = "이름을 정확하게 입력하세요.";
inline constexpr std::string_view kPhoneInvalid = "휴대폰 번호를 확인하세요.";
inline constexpr std::string_view kJoinSendFailed = "회원가입 실패. 관리자에게 문의하세요.";
inline constexpr std::string_view kJoinRefused = "가입실패 :";
inline constexpr std::string_view kJoinSucceeded = "가입성공 : 로그인 하세요.";
}  // namespace text

// Reply statuses the client acts on.
namespace status {
inline constexpr std::string_view kAdmitted = "chrg";
inline constexpr std::string_view kRefused = "fail";
inline constexpr std::string_view kNewVersion = "VerDiff";
inline constexpr std::string_view kRegistered = "joinsuccess";
inline constexpr std::string_view kAlreadyMember = "premember";
}  // namespace status

// "login_%s;%s;%s;%s;" with ID, password, adapter address and version.
std::string BuildLoginMessage(std::string_view id, std::string_view password,
                              std::string_view adapterText, std::string_view version);

struct JoinForm {
  std::string id;
  std::string password;
  std::string passwordAgain;
  std::string name;
  std::string phone;
};

// "joincl_" then ID, password, name, phone, two empty fields, adapter address and version,
// each followed by ";".
std::string BuildJoinMessage(const JoinForm& form, std::string_view adapterText,
                             std::string_view version);

// A reply split at "_": first field, then `ReplyStatus`, then everything after it.
struct LoginReply {
  std::string firstField;
  std::string ReplyStatus;
  std::string ReplyDetail;
};
LoginReply ParseReply(std::string_view text);

// The datagram for a message: at most 1023 bytes of text, zero bytes up to 1024.
std::string WireDatagram(std::string_view text);

// The text of a received datagram: everything before its first zero byte.
std::string_view DatagramText(std::string_view datagram);

// The first offending byte of an ID decides its message; letters and digits only.
std::optional<std::string_view> CheckIdText(std::string_view id);

// The sign-up checks in their order; the message of the first that fails.
std::optional<std::string_view> CheckJoinForm(const JoinForm& form);

}  // namespace orvane::protocol
