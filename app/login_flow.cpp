#include "app/login_flow.h"

#include "app/adapter_mac.h"
#include "data/text_codec.h"

namespace orvane::app {
namespace {

std::string AdapterText(const LoginContext& context) {
  return context.adapterText ? context.adapterText() : AdapterMacText();
}

// Login and re-login leave the socket without a time-out; sign-up leaves it set.
SendResult RunExchange(LoginContext& context, std::string_view message, bool clearTimeout) {
  SendResult result;
  if (context.transport == nullptr) {
    result.status = ExchangeStatus::kSendFailed;
    return result;
  }
  context.transport->SetReceiveTimeout(context.receiveTimeout);
  ExchangeResult exchange = context.transport->Exchange(EncodeCp949(message));
  if (clearTimeout) context.transport->SetReceiveTimeout(std::chrono::milliseconds{0});
  result.status = exchange.status;
  if (exchange.status == ExchangeStatus::kReplied) {
    // "_" never occurs inside a CP949 double-byte character, so splitting first is safe.
    protocol::LoginReply raw = protocol::ParseReply(exchange.replyText);
    result.reply.firstField = DecodeCp949(raw.firstField);
    result.reply.ReplyStatus = DecodeCp949(raw.ReplyStatus);
    result.reply.ReplyDetail = DecodeCp949(raw.ReplyDetail);
  }
  return result;
}

std::string Joined(std::string_view a, std::string_view b) {
  std::string s(a);
  s.append(b);
  return s;
}

}  // namespace

SendResult SendLogin(LoginContext& context, std::string_view id, std::string_view password) {
  std::string message =
      protocol::BuildLoginMessage(id, password, AdapterText(context), context.versionText);
  return RunExchange(context, message, true);
}

LoginOutcome LoginButton(LoginContext& context, LoginUi& ui, std::string_view id,
                         std::string_view password) {
  if (auto problem = protocol::CheckIdText(id)) {
    ui.ShowMessage(*problem);
    return LoginOutcome::kInvalidId;
  }
  context.userId = std::string(id);
  context.userPassword = std::string(password);
  ui.SaveIdSetting();
  SendResult sent = SendLogin(context, id, password);
  if (sent.status == ExchangeStatus::kSendFailed) {
    ui.ShowMessage(protocol::text::kLoginSendFailed);
    return LoginOutcome::kSendFailed;
  }
  if (sent.status == ExchangeStatus::kNoAnswer) {
    ui.ShowMessage(protocol::text::kNoAnswer);
    return LoginOutcome::kNoAnswer;
  }
  const std::string& status = sent.reply.ReplyStatus;
  if (status == protocol::status::kNewVersion) {
    ui.ShowMessage(Joined(protocol::text::kNewVersion, protocol::text::kAutoUpdate));
    return LoginOutcome::kNewVersion;
  }
  if (status == protocol::status::kRefused) {
    ui.ShowMessage(Joined(protocol::text::kLoginFailed, sent.reply.ReplyDetail));
    ui.Pause(protocol::kRefusalPause);
    ui.SaveIdSetting();
    return LoginOutcome::kRefused;
  }
  ui.SaveIdSetting();
  if (status == protocol::status::kAdmitted) {
    context.loginMarker = std::string(protocol::kLoginMarker);
    return LoginOutcome::kAdmitted;
  }
  return LoginOutcome::kNotAdmitted;
}

bool ReLogin(LoginContext& context, LoginUi& ui) {
  SendResult sent = SendLogin(context, context.userId, context.userPassword);
  if (sent.status == ExchangeStatus::kSendFailed) {
    ui.ShowMessage(protocol::text::kLoginSendFailed);
    return false;
  }
  if (sent.status == ExchangeStatus::kNoAnswer) {
    ui.ShowMessage(protocol::text::kNoAnswer);
    return false;
  }
  const std::string& status = sent.reply.ReplyStatus;
  if (status == protocol::status::kNewVersion) {
    ui.ShowMessage(Joined(protocol::text::kNewVersion, protocol::text::kRestart));
    return false;
  }
  if (status == protocol::status::kRefused) {
    ui.ShowMessage(Joined(protocol::text::kLoginFailed, sent.reply.ReplyDetail));
    return false;
  }
  return status == protocol::status::kAdmitted;
}

JoinOutcome JoinButton(LoginContext& context, LoginUi& ui, const protocol::JoinForm& form) {
  if (auto problem = protocol::CheckJoinForm(form)) {
    ui.ShowMessage(*problem);
    return JoinOutcome::kInvalidForm;
  }
  std::string message = protocol::BuildJoinMessage(form, AdapterText(context), context.versionText);
  SendResult sent = RunExchange(context, message, false);
  if (sent.status == ExchangeStatus::kSendFailed) {
    ui.ShowMessage(protocol::text::kJoinSendFailed);
    return JoinOutcome::kSendFailed;
  }
  if (sent.status == ExchangeStatus::kNoAnswer) {
    ui.ShowMessage(protocol::text::kNoAnswer);
    return JoinOutcome::kNoAnswer;
  }
  const std::string& status = sent.reply.ReplyStatus;
  if (status == protocol::status::kAlreadyMember) {
    std::string shown(protocol::text::kJoinRefused);
    if (!sent.reply.ReplyDetail.empty()) shown += " " + sent.reply.ReplyDetail;
    ui.ShowMessage(shown);
    ui.Pause(protocol::kRefusalPause);
    return JoinOutcome::kRefused;
  }
  if (status == protocol::status::kRegistered) {
    ui.ShowMessage(protocol::text::kJoinSucceeded);
    return JoinOutcome::kRegistered;
  }
  return JoinOutcome::kOther;
}

}  // namespace orvane::app
