#include "app/login_flow.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace orvane::app {
namespace {

using std::chrono::milliseconds;
using testing::RecordingUi;
using testing::ScriptedTransport;

class LoginFlowTest : public ::testing::Test {
 protected:
  LoginFlowTest() {
    context.transport = &transport;
    context.adapterText = [] { return std::string("00:11:22:33:44:55"); };
  }
  ScriptedTransport transport;
  RecordingUi ui;
  LoginContext context;
};

TEST_F(LoginFlowTest, AdmissionSetsMarkerAndClearsTimeoutAfterwards) {
  transport.Reply("login_chrg_more_fields");
  EXPECT_EQ(LoginButton(context, ui, "demo123", "pw 1"), LoginOutcome::kAdmitted);
  EXPECT_EQ(context.loginMarker, "WORD!&kq;52#^&Lf");
  EXPECT_EQ(context.userId, "demo123");
  EXPECT_EQ(context.userPassword, "pw 1");
  ASSERT_EQ(transport.sent.size(), 1u);
  EXPECT_EQ(transport.sent[0], "login_demo123;pw 1;00:11:22:33:44:55;Ver.1.0.1;");
  EXPECT_EQ(transport.timeouts, (std::vector<milliseconds>{milliseconds{7000}, milliseconds{0}}));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(ui.saves, 2);
}

TEST_F(LoginFlowTest, ReplyWithoutUnderscoreIsTheStatus) {
  transport.Reply("chrg");
  EXPECT_EQ(LoginButton(context, ui, "a", "b"), LoginOutcome::kAdmitted);
}

TEST_F(LoginFlowTest, InvalidIdSendsNothing) {
  EXPECT_EQ(LoginButton(context, ui, "ab_c", "pw"), LoginOutcome::kInvalidId);
  EXPECT_TRUE(transport.sent.empty());
  EXPECT_EQ(ui.messages, std::vector<std::string>{"ID는 특수문자를 사용할수 없습니다."});
  EXPECT_EQ(ui.saves, 0);
  EXPECT_TRUE(context.userId.empty());
}

TEST_F(LoginFlowTest, RefusalShowsReasonWithUnderscoresAndPauses) {
  transport.Reply("login_fail_비밀번호가_틀렸습니다");
  EXPECT_EQ(LoginButton(context, ui, "demo", "x"), LoginOutcome::kRefused);
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"로그인이 실패 하엿습니다. \r\r비밀번호가_틀렸습니다"});
  EXPECT_EQ(ui.pauses, std::vector<milliseconds>{milliseconds{2000}});
  EXPECT_TRUE(context.loginMarker.empty());

  transport.Reply("login_fail");
  ui.messages.clear();
  EXPECT_EQ(LoginButton(context, ui, "demo", "x"), LoginOutcome::kRefused);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"로그인이 실패 하엿습니다. \r\r"});
}

TEST_F(LoginFlowTest, TransportFailuresAndOtherStatuses) {
  transport.script.push_back({ExchangeStatus::kSendFailed, {}});
  EXPECT_EQ(LoginButton(context, ui, "a", "b"), LoginOutcome::kSendFailed);
  EXPECT_EQ(LoginButton(context, ui, "a", "b"), LoginOutcome::kNoAnswer);
  transport.Reply("login_whatever_x");
  EXPECT_EQ(LoginButton(context, ui, "a", "b"), LoginOutcome::kNotAdmitted);
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{"로그인 시도 실패. 관리자에게 문의하세요.",
                                      "서버로부터 응답이 없습니다. 관리자에게 문의하세요."}));
  LoginContext noSocket;
  EXPECT_EQ(LoginButton(noSocket, ui, "a", "b"), LoginOutcome::kSendFailed);
}

TEST_F(LoginFlowTest, NewVersionAnnouncesUpdate) {
  transport.Reply("login_VerDiff");
  EXPECT_EQ(LoginButton(context, ui, "a", "b"), LoginOutcome::kNewVersion);
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{
                "Orvane 새로운 버젼이 있습니다. \r\rOrvane 자동업데이트가 시작됩니다!"});
  EXPECT_TRUE(context.loginMarker.empty());
}

TEST_F(LoginFlowTest, ReLoginUsesStoredValuesAndFailsOnAnythingButAdmission) {
  context.userId = "demo123";
  context.userPassword = "pw";
  transport.Reply("login_chrg");
  EXPECT_TRUE(ReLogin(context, ui));
  EXPECT_EQ(transport.sent.back(), "login_demo123;pw;00:11:22:33:44:55;Ver.1.0.1;");
  transport.Reply("login_VerDiff");
  EXPECT_FALSE(ReLogin(context, ui));
  transport.Reply("login_fail_x");
  EXPECT_FALSE(ReLogin(context, ui));
  transport.Reply("login_other");
  EXPECT_FALSE(ReLogin(context, ui));
  EXPECT_FALSE(ReLogin(context, ui));
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{"Orvane 새로운 버젼이 있습니다. \r\rOrvane 재시작하세요.",
                                      "로그인이 실패 하엿습니다. \r\rx",
                                      "서버로부터 응답이 없습니다. 관리자에게 문의하세요."}));
  EXPECT_TRUE(ui.pauses.empty());
}

TEST_F(LoginFlowTest, JoinSendsCp949AndKeepsTimeout) {
  protocol::JoinForm form{"member7", "secret", "secret", "홍길동", "01012345678"};
  transport.Reply("joincl_joinsuccess");
  EXPECT_EQ(JoinButton(context, ui, form), JoinOutcome::kRegistered);
  ASSERT_EQ(transport.sent.size(), 1u);
  EXPECT_EQ(transport.sent[0],
            "joincl_member7;secret;홍길동;01012345678;;;00:11:22:33:44:55;Ver.1.0.1;");
  EXPECT_EQ(transport.timeouts, std::vector<milliseconds>{milliseconds{7000}});
  EXPECT_EQ(ui.messages, std::vector<std::string>{"가입성공 : 로그인 하세요."});
}

TEST_F(LoginFlowTest, JoinRefusalsAndFailures) {
  protocol::JoinForm form{"member7", "secret", "secret", "홍길동", "01012345678"};
  transport.Reply("joincl_premember_이미_사용 중");
  transport.Reply("joincl_premember");
  transport.script.push_back({ExchangeStatus::kSendFailed, {}});
  EXPECT_EQ(JoinButton(context, ui, form), JoinOutcome::kRefused);
  EXPECT_EQ(JoinButton(context, ui, form), JoinOutcome::kRefused);
  EXPECT_EQ(JoinButton(context, ui, form), JoinOutcome::kSendFailed);
  EXPECT_EQ(JoinButton(context, ui, form), JoinOutcome::kNoAnswer);
  transport.Reply("joincl_chrg");
  EXPECT_EQ(JoinButton(context, ui, form), JoinOutcome::kOther);
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{"가입실패 : 이미_사용 중",
                                      "가입실패 :", "회원가입 실패. 관리자에게 문의하세요.",
                                      "서버로부터 응답이 없습니다. 관리자에게 문의하세요."}));
  EXPECT_EQ(ui.pauses.size(), 2u);

  form.passwordAgain = "other";
  EXPECT_EQ(JoinButton(context, ui, form), JoinOutcome::kInvalidForm);
  EXPECT_EQ(ui.messages.back(), "비밀번호가 다릅니다.");
  EXPECT_EQ(transport.sent.size(), 5u);
}

}  // namespace
}  // namespace orvane::app
