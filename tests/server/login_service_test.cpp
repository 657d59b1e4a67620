#include "server/login_service.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>

#include "data/text_codec.h"
#include "protocol/login_protocol.h"

namespace orvane::server {
namespace {

using namespace std::chrono_literals;
using Clock = LoginService::Clock;

constexpr std::string_view kWrong = "login_fail_아이디 또는 비밀번호가 맞지 않습니다.";
constexpr std::string_view kLater = "login_fail_시도가 너무 많습니다. 잠시 후 다시 하세요.";

enum class Backend { kSqlite, kPostgres };

// A members database of its own for one test: an SQLite file in a temporary folder, or a
// database in the PostgreSQL cluster that CTest starts for these tests at ORVANE_TEST_PG_HOST.
class TempMembers {
 public:
  explicit TempMembers(Backend backend) : backend_(backend) {
    if (backend == Backend::kSqlite) {
      std::string pattern =
          (std::filesystem::temp_directory_path() / "orvane-login-XXXXXX").string();
      folder_ = mkdtemp(pattern.data());
      location = (folder_ / "members.db").string();
      return;
    }
    host_ = ORVANE_TEST_PG_HOST;
    static int made = 0;
    name_ = "members_" + std::to_string(getpid()) + "_" + std::to_string(++made);
    Admin("CREATE DATABASE " + name_);
    location = "postgresql:///" + name_ + "?host=" + host_ + "&user=orvane";
  }
  ~TempMembers() {
    if (backend_ == Backend::kSqlite) {
      std::filesystem::remove_all(folder_);
    } else if (!name_.empty()) {
      Admin("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
    }
  }

  std::string location;

 private:
  void Admin(const std::string& sql) {
    PGconn* c = PQconnectdb(("postgresql:///postgres?host=" + host_ + "&user=orvane").c_str());
    PGresult* r = PQexec(c, sql.c_str());
    EXPECT_EQ(PQresultStatus(r), PGRES_COMMAND_OK) << PQerrorMessage(c);
    PQclear(r);
    PQfinish(c);
  }

  Backend backend_;
  std::filesystem::path folder_;
  std::string host_;
  std::string name_;
};

LoginServiceOptions CheapOptions(const std::string& location) {
  LoginServiceOptions o;
  o.databasePath = location;
  o.cheapHashing = true;
  return o;
}

class LoginServiceTest : public ::testing::TestWithParam<Backend> {
 protected:
  LoginServiceTest() : members(GetParam()), service(Options()) {
    EXPECT_TRUE(service.OpenDatabase()) << service.Error();
  }

  LoginServiceOptions Options() {
    LoginServiceOptions o = CheapOptions(members.location);
    o.attemptBurst = 5;
    o.attemptsPerSecond = 1;
    return o;
  }

  // Replies as UTF-8, or "<none>".
  std::string Ask(std::string_view utf8, std::uint32_t sender = 1) {
    auto reply = service.HandleDatagram(protocol::WireDatagram(EncodeCp949(utf8)), sender, now);
    return reply ? DecodeCp949(*reply) : "<none>";
  }

  TempMembers members;
  LoginService service;
  Clock::time_point now = Clock::now();
};

TEST_P(LoginServiceTest, DemoMemberLogsInAndWrongPasswordsAreRefused) {
  EXPECT_EQ(Ask("login_demo1234;orvane2024;AA:BB:CC:DD:EE:FF;Ver.1.0.1;"), "login_chrg");
  EXPECT_EQ(Ask("login_demo1234;orvane2025;;Ver.1.0.1;"),
            "login_fail_아이디 또는 비밀번호가 맞지 않습니다.");
  EXPECT_EQ(Ask("login_nobody99;x;;Ver.1.0.1;"),
            "login_fail_아이디 또는 비밀번호가 맞지 않습니다.");
  EXPECT_EQ(Ask("login_demo1234;orvane2024;;Ver.0.9;"), "login_VerDiff");
}

TEST_P(LoginServiceTest, JoinThenLoginKeepsSemicolonsAndHangulInPasswords) {
  EXPECT_EQ(Ask("joincl_member77;pa;ss비번;홍길동;01012345678;;;AA:BB:CC:DD:EE:FF;Ver.1.0.1;"),
            "joincl_joinsuccess");
  EXPECT_EQ(Ask("login_member77;pa;ss비번;;Ver.1.0.1;"), "login_chrg");
  EXPECT_EQ(Ask("joincl_member77;another;김;01012345678;;;;Ver.1.0.1;"),
            "joincl_premember_이미 사용 중인 아이디입니다.");
  EXPECT_EQ(Ask("joincl_short;secret;김;01012345678;;;;Ver.1.0.1;"),
            "joincl_premember_입력한 정보가 올바르지 않습니다.");
}

TEST_P(LoginServiceTest, PasswordsAreStoredOnlyAsArgon2idHashes) {
  Ask("joincl_member88;clearsecret;이름;01012345678;;;;Ver.1.0.1;");
  std::string error;
  auto store = OpenMemberStore(members.location, true, error);
  ASSERT_TRUE(store) << error;
  for (std::string_view id : {"member88", "demo1234"}) {
    const std::string hash = store->PasswordHash(id).value_or("");
    EXPECT_TRUE(hash.starts_with("$argon2id$")) << hash;
    EXPECT_EQ(hash.find("clearsecret"), std::string::npos);
    EXPECT_EQ(hash.find("orvane2024"), std::string::npos);
  }
}

TEST_P(LoginServiceTest, MalformedAndOversizedDatagramsGetNoReply) {
  for (std::string_view bad : {"", "hello", "login_", "login_demo1234;orvane2024;;Ver.1.0.1",
                               "login_a;b;", "joincl_a;b;c;d;;;e;", "LOGIN_a;b;c;d;", "chrg"}) {
    EXPECT_EQ(Ask(bad), "<none>") << bad;
  }
  std::string big(1025, 'x');
  big.replace(0, 6, "login_");
  EXPECT_FALSE(service.HandleDatagram(big, 1, now).has_value());
  // Text past the first zero byte is not part of the request.
  std::string padded("login_demo1234;orvane2024;;Ver.1.0.1;\0junk", 41);
  EXPECT_EQ(service.HandleDatagram(padded, 1, now), "login_chrg");
}

TEST_P(LoginServiceTest, AttemptsAreLimitedPerSenderAndRefill) {
  const std::string wrong = "login_demo1234;bad;;Ver.1.0.1;";
  const std::string right = "login_demo1234;orvane2024;;Ver.1.0.1;";
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(Ask(wrong, 7), "login_fail_아이디 또는 비밀번호가 맞지 않습니다.");
  EXPECT_EQ(Ask(right, 7), "login_fail_시도가 너무 많습니다. 잠시 후 다시 하세요.");
  // Another sender is not held back by the first one's guessing.
  EXPECT_EQ(Ask(right, 8), "login_chrg");
  // Garbage does not spend attempts; admissions do not count as failed guesses.
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Ask(right, 9), "login_chrg");
  now += 1s;
  for (int i = 0; i < 50; ++i) Ask("login_garbage", 9);
  EXPECT_EQ(Ask(right, 9), "login_chrg");
  EXPECT_EQ(Ask(right, 9), "login_fail_시도가 너무 많습니다. 잠시 후 다시 하세요.");
  // Sender 7 guessed wrong five times: it waits for its failure count to refill, not 1 s.
  EXPECT_EQ(Ask(right, 7), "login_fail_시도가 너무 많습니다. 잠시 후 다시 하세요.");
  now += 60s;
  EXPECT_EQ(Ask(right, 7), "login_chrg");
}

TEST_P(LoginServiceTest, GuessesAtOneIdFromManySendersAreThrottledButNotItsKnownAddress) {
  const std::string wrong = "login_demo1234;bad;;Ver.1.0.1;";
  const std::string right = "login_demo1234;orvane2024;;Ver.1.0.1;";
  ASSERT_EQ(Ask("joincl_member55;secret55;홍길동;01012345678;;;;Ver.1.0.1;", 500),
            "joincl_joinsuccess");
  EXPECT_EQ(Ask(right, 1), "login_chrg");  // address 1 is now known for demo1234
  // Each forged sender guesses once, well within its own limits.
  for (std::uint32_t sender = 100; sender < 110; ++sender) EXPECT_EQ(Ask(wrong, sender), kWrong);
  for (std::uint32_t sender = 110; sender < 140; ++sender) EXPECT_EQ(Ask(wrong, sender), kLater);
  EXPECT_EQ(Ask(right, 200), kLater);  // even the right password, from a new address
  EXPECT_EQ(Ask(right, 1), "login_chrg");
  EXPECT_EQ(Ask("login_member55;secret55;;Ver.1.0.1;", 300), "login_chrg");
  // An unknown ID is throttled and answered like a wrong password.
  for (std::uint32_t sender = 400; sender < 410; ++sender) {
    EXPECT_EQ(Ask("login_nobody77;x;;Ver.1.0.1;", sender), kWrong);
  }
  EXPECT_EQ(Ask("login_nobody77;x;;Ver.1.0.1;", 410), kLater);
  now += 30s;
  EXPECT_EQ(Ask(right, 201), "login_chrg");
}

TEST_P(LoginServiceTest, SignUpRefusesCaseVariantsAndControlCharacters) {
  EXPECT_EQ(Ask("joincl_DEMO1234;secret;홍길동;01012345678;;;;Ver.1.0.1;"),
            "joincl_premember_이미 사용 중인 아이디입니다.");
  const std::string invalid = "joincl_premember_입력한 정보가 올바르지 않습니다.";
  EXPECT_EQ(Ask("joincl_member66;secret;a\x01b;01012345678;;;;Ver.1.0.1;"), invalid);
  EXPECT_EQ(Ask("joincl_member66;secret;홍길동;0101234\t678;;;;Ver.1.0.1;"), invalid);
  EXPECT_EQ(Ask("joincl_member66;secret;김;0101234567;;;;Ver.1.0.1;"), invalid);
  EXPECT_EQ(Ask("joincl_member66;secret;김;01012345678;;;;Ver.1.0.1;"), "joincl_joinsuccess");
  EXPECT_EQ(Ask("joincl_Member66;secret;김;01012345678;;;;Ver.1.0.1;", 2),
            "joincl_premember_이미 사용 중인 아이디입니다.");
  if (GetParam() == Backend::kSqlite) {
    EXPECT_EQ(std::filesystem::status(members.location).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }
}

constexpr std::string_view kTooMany = "시도가 너무 많습니다. 잠시 후 다시 하세요.";
// A sign-up the form check turns down at once: an attempt spent without a password hash.
constexpr std::string_view kBadJoin = "joincl_short;secret;김;01012345678;;;;Ver.1.0.1;";

TEST_P(LoginServiceTest, ALongIdleRefillsNoMoreThanTheBurst) {
  const std::string wrong = "login_demo1234;bad;;Ver.1.0.1;";
  for (int i = 0; i < 5; ++i) Ask(wrong, 7);
  now += 24h;
  for (int i = 0; i < 5; ++i) EXPECT_NE(Ask(wrong, 7), "login_fail_" + std::string(kTooMany));
  EXPECT_EQ(Ask(wrong, 7), "login_fail_" + std::string(kTooMany));
}

TEST_P(LoginServiceTest, SignUpsAreThrottledWithTheirOwnReply) {
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(Ask(kBadJoin, 9), "joincl_premember_입력한 정보가 올바르지 않습니다.");
  EXPECT_EQ(Ask(kBadJoin, 9), "joincl_premember_" + std::string(kTooMany));
}

TEST_P(LoginServiceTest, AFullSenderTableTurnsNewSendersAwayUntilBucketsRefill) {
  // Every tracked sender has spent one attempt, so none can be forgotten yet.
  constexpr std::uint32_t kTracked = 65536;
  for (std::uint32_t sender = 1; sender <= kTracked; ++sender) Ask(kBadJoin, sender);
  EXPECT_EQ(Ask(kBadJoin, kTracked + 1), "joincl_premember_" + std::string(kTooMany));
  // A second later every bucket is full again: the table is cleared and the newcomer admitted.
  now += 1s;
  EXPECT_EQ(Ask(kBadJoin, kTracked + 1), "joincl_premember_입력한 정보가 올바르지 않습니다.");
}

class LoginDatabaseTest : public ::testing::TestWithParam<Backend> {};

TEST_P(LoginDatabaseTest, ExistingDatabaseKeepsMembersAndIsNotReseeded) {
  TempMembers members(GetParam());
  const LoginServiceOptions o = CheapOptions(members.location);
  {
    LoginService first(o);
    ASSERT_TRUE(first.OpenDatabase()) << first.Error();
    first.HandleDatagram("joincl_keeper77;secret;김씨;01012345678;;;;Ver.1.0.1;", 1, Clock::now());
  }
  LoginService second(o);
  ASSERT_TRUE(second.OpenDatabase());
  EXPECT_EQ(second.HandleDatagram("login_keeper77;secret;;Ver.1.0.1;", 1, Clock::now()),
            "login_chrg");
  LoginService broken(CheapOptions(GetParam() == Backend::kSqlite
                                       ? "/nonexistent-dir/x/members.db"
                                       : "postgresql:///members?host=/nonexistent-dir"));
  EXPECT_FALSE(broken.OpenDatabase());
  EXPECT_FALSE(broken.Start());
  EXPECT_FALSE(broken.HandleDatagram("login_a;b;;V;", 1, Clock::now()).has_value());
}

// Two services on one database, as behind a balancer: of two sign-ups for one ID (in any letter
// case) racing through both exactly one succeeds, and a member who signed up through one logs
// in through the other.
TEST_P(LoginDatabaseTest, ServicesSharingADatabaseAgreeOnMembers) {
  TempMembers members(GetParam());
  LoginService a(CheapOptions(members.location));
  LoginService b(CheapOptions(members.location));
  ASSERT_TRUE(a.OpenDatabase()) << a.Error();
  ASSERT_TRUE(b.OpenDatabase()) << b.Error();
  for (int round = 0; round < 5; ++round) {
    const std::string id = "racer" + std::to_string(round) + "x";
    std::string upper = id;
    upper[0] = 'R';
    std::optional<std::string> first;
    std::optional<std::string> second;
    std::thread t([&] {
      first = a.HandleDatagram("joincl_" + id + ";secret;김;01012345678;;;;Ver.1.0.1;", 1,
                               Clock::now());
    });
    second = b.HandleDatagram("joincl_" + upper + ";secret;김;01012345678;;;;Ver.1.0.1;", 2,
                              Clock::now());
    t.join();
    ASSERT_TRUE(first && second);
    EXPECT_EQ((*first == "joincl_joinsuccess") + (*second == "joincl_joinsuccess"), 1)
        << *first << " / " << *second;
  }
  a.HandleDatagram("joincl_crosser1;secret;김;01012345678;;;;Ver.1.0.1;", 1, Clock::now());
  EXPECT_EQ(b.HandleDatagram("login_crosser1;secret;;Ver.1.0.1;", 3, Clock::now()), "login_chrg");
}

std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
  return info.param == Backend::kSqlite ? "Sqlite" : "Postgres";
}
INSTANTIATE_TEST_SUITE_P(Stores, LoginServiceTest,
                         ::testing::Values(Backend::kSqlite, Backend::kPostgres), BackendName);
INSTANTIATE_TEST_SUITE_P(Stores, LoginDatabaseTest,
                         ::testing::Values(Backend::kSqlite, Backend::kPostgres), BackendName);

}  // namespace
}  // namespace orvane::server
