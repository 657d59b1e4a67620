#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "app/login_transport.h"
#include "protocol/login_protocol.h"

namespace orvane::app {

// The login-related process-wide values, alive for the whole run.
struct LoginContext {
  LoginTransport* transport = nullptr;  // null when the socket could not be made
  std::string versionText{protocol::kVersionText};
  std::function<std::string()> adapterText;  // `AdapterMacText` unless a test sets another
  std::chrono::milliseconds receiveTimeout = protocol::kReceiveTimeout;
  std::string userId;
  std::string userPassword;
  std::string loginMarker;
};

// What the flows need from the window they run in.
class LoginUi {
 public:
  virtual ~LoginUi() = default;
  virtual void ShowMessage(std::string_view text) = 0;  // OK-only box, application caption
  virtual void Pause(std::chrono::milliseconds duration) = 0;
  virtual void SaveIdSetting() {}
};

struct SendResult {
  ExchangeStatus status = ExchangeStatus::kNoAnswer;
  protocol::LoginReply reply;  // UTF-8 fields; empty unless replied
};

// One login exchange with the receive time-out set back to none afterwards.
SendResult SendLogin(LoginContext& context, std::string_view id, std::string_view password);

enum class LoginOutcome {
  kInvalidId,
  kSendFailed,
  kNoAnswer,
  kNewVersion,
  kRefused,
  kAdmitted,
  kNotAdmitted,
};

// The login button: ID check, the saved-ID setting, the exchange and its messages. On
// admission `loginMarker` holds the marker; on a new version the caller hands off to the
// updater.
LoginOutcome LoginButton(LoginContext& context, LoginUi& ui, std::string_view id,
                         std::string_view password);

// The daily repeat of the last login; true only on admission.
bool ReLogin(LoginContext& context, LoginUi& ui);

enum class JoinOutcome { kInvalidForm, kSendFailed, kNoAnswer, kRefused, kRegistered, kOther };

// The sign-up button: the checks, the registration exchange and its messages.
JoinOutcome JoinButton(LoginContext& context, LoginUi& ui, const protocol::JoinForm& form);

}  // namespace orvane::app
