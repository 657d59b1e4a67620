#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/adapter_mac.h"
#include "app/login_flow.h"
#include "app/udp_transport.h"
#include "fakes.h"
#include "server/login_service.h"

namespace orvane::app {
namespace {

using namespace std::chrono_literals;

// The client's own flows against the real service on a free loopback port.
class LoginLoopbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "orvane-loopback-XXXXXX").string();
    folder = mkdtemp(pattern.data());
    server::LoginServiceOptions options;
    options.databasePath = (folder / "members.db").string();
    options.bindAddress = "127.0.0.1";
    options.udpPort = 0;
    options.cheapHashing = true;
    service = std::make_unique<server::LoginService>(options);
    ASSERT_TRUE(service->Start()) << service->Error();
    ASSERT_TRUE(transport.Resolve("localhost", service->Port()));
    context.transport = &transport;
    context.receiveTimeout = 3s;
    context.adapterText = AdapterMacText;
  }
  void TearDown() override {
    service.reset();
    std::filesystem::remove_all(folder);
  }

  std::filesystem::path folder;
  std::unique_ptr<server::LoginService> service;
  UdpTransport transport;
  LoginContext context;
  testing::RecordingUi ui;
};

TEST_F(LoginLoopbackTest, SignUpLogInAndEveryRefusal) {
  protocol::JoinForm form{"newmember1", "hunter22", "hunter22", "김", "01098765432"};
  EXPECT_EQ(JoinButton(context, ui, form), JoinOutcome::kRegistered);
  EXPECT_EQ(transport.ReceiveTimeout(), 3s);  // sign-up leaves the time-out set
  EXPECT_EQ(JoinButton(context, ui, form), JoinOutcome::kRefused);
  EXPECT_EQ(ui.messages.back(), "가입실패 : 이미 사용 중인 아이디입니다.");

  EXPECT_EQ(LoginButton(context, ui, "newmember1", "hunter22"), LoginOutcome::kAdmitted);
  EXPECT_EQ(context.loginMarker, protocol::kLoginMarker);
  EXPECT_EQ(transport.ReceiveTimeout(), 0ms);
  EXPECT_TRUE(ReLogin(context, ui));

  EXPECT_EQ(LoginButton(context, ui, "newmember1", "hunter23"), LoginOutcome::kRefused);
  EXPECT_EQ(ui.messages.back(),
            "로그인이 실패 하엿습니다. \r\r아이디 또는 비밀번호가 맞지 않습니다.");
  EXPECT_FALSE(ReLogin(context, ui));

  EXPECT_EQ(LoginButton(context, ui, "demo1234", "orvane2024"), LoginOutcome::kAdmitted);
  context.versionText = "Ver.1.0.0";
  EXPECT_EQ(LoginButton(context, ui, "demo1234", "orvane2024"), LoginOutcome::kNewVersion);
  EXPECT_FALSE(ReLogin(context, ui));
  EXPECT_EQ(ui.messages.back(), "Orvane 새로운 버젼이 있습니다. \r\rOrvane 재시작하세요.");
}

TEST_F(LoginLoopbackTest, StoppedServiceMeansNoAnswer) {
  service->Stop();
  context.receiveTimeout = 200ms;
  EXPECT_EQ(LoginButton(context, ui, "demo1234", "orvane2024"), LoginOutcome::kNoAnswer);
  EXPECT_EQ(ui.messages.back(), "서버로부터 응답이 없습니다. 관리자에게 문의하세요.");
}

}  // namespace
}  // namespace orvane::app
