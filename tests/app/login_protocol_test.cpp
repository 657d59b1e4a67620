#include "protocol/login_protocol.h"

#include <gtest/gtest.h>

#include <string>

#include "app/adapter_mac.h"

namespace orvane::protocol {
namespace {

TEST(LoginMessage, FieldsInOrderEachFollowedBySemicolon) {
  EXPECT_EQ(BuildLoginMessage("demo123", "pw;x", "00:1A:2B:3C:4D:5E", "Ver.1.0.1"),
            "login_demo123;pw;x;00:1A:2B:3C:4D:5E;Ver.1.0.1;");
  // Without an adapter the address field stays, empty.
  EXPECT_EQ(BuildLoginMessage("abc", "pw", "", "Ver.1.0.1"), "login_abc;pw;;Ver.1.0.1;");
}

TEST(JoinMessage, TwoEmptyFieldsBetweenPhoneAndAdapter) {
  JoinForm form{"member7", "secret1", "secret1", "김철수", "01012345678"};
  EXPECT_EQ(BuildJoinMessage(form, "AA:BB:CC:DD:EE:FF", "Ver.1.0.1"),
            "joincl_member7;secret1;김철수;01012345678;;;AA:BB:CC:DD:EE:FF;Ver.1.0.1;");
  EXPECT_EQ(BuildJoinMessage(JoinForm{}, "", "V"), "joincl_;;;;;;;V;");
}

TEST(ReplyGrammar, SplitsIntoFirstFieldStatusAndDetail) {
  struct Case {
    std::string text, first, status, detail;
  } cases[] = {
      {"chrg", "", "chrg", ""},
      {"login_chrg", "login", "chrg", ""},
      {"login_chrg_extra_fields", "login", "chrg", "extra_fields"},
      {"login_fail", "login", "fail", ""},
      {"login_fail_", "login", "fail", ""},
      {"login_fail_bad_password_given", "login", "fail", "bad_password_given"},
      {"login_VerDiff", "login", "VerDiff", ""},
      {"_chrg", "", "chrg", ""},
      {"x__y", "x", "", "y"},
      {"", "", "", ""},
      {"joincl_premember_이미 있는 ID", "joincl", "premember", "이미 있는 ID"},
  };
  for (const Case& c : cases) {
    LoginReply r = ParseReply(c.text);
    EXPECT_EQ(r.firstField, c.first) << c.text;
    EXPECT_EQ(r.ReplyStatus, c.status) << c.text;
    EXPECT_EQ(r.ReplyDetail, c.detail) << c.text;
  }
}

TEST(Datagram, ExactlyOneKilobyteTextCutTo1023AndZeroFilled) {
  std::string d = WireDatagram("login_a;b;;V;");
  ASSERT_EQ(d.size(), kDatagramSize);
  EXPECT_EQ(DatagramText(d), "login_a;b;;V;");
  EXPECT_EQ(d.find_first_not_of('\0', 13), std::string::npos);

  std::string longText(5000, 'x');
  d = WireDatagram(longText);
  ASSERT_EQ(d.size(), kDatagramSize);
  EXPECT_EQ(DatagramText(d).size(), 1023u);
  EXPECT_EQ(d.back(), '\0');

  EXPECT_EQ(DatagramText(std::string("ok\0junk", 7)), "ok");
  EXPECT_EQ(DatagramText("no zero"), "no zero");
}

TEST(IdCheck, FirstOffendingByteDecides) {
  struct Case {
    std::string id;
    std::optional<std::string_view> message;
  } cases[] = {
      {"", std::nullopt},          {"Abc019xyz", std::nullopt},  {"ab한-", text::kIdHangul},
      {"ab-한", text::kIdSpecial}, {"user_1", text::kIdSpecial}, {"a b", text::kIdSpecial},
      {"é", text::kIdHangul},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckIdText(c.id), c.message) << c.id;
}

TEST(JoinCheck, ChecksInOrderWithCp949ByteCounts) {
  const JoinForm good{"member7", "secret", "secret", "김", "01012345678"};
  EXPECT_EQ(CheckJoinForm(good), std::nullopt);

  auto with = [&](auto change) {
    JoinForm f = good;
    change(f);
    return CheckJoinForm(f);
  };
  // Mismatched passwords come first, even before a bad ID.
  EXPECT_EQ(with([](JoinForm& f) {
              f.id = "a-";
              f.passwordAgain = "Secret";
            }),
            text::kPasswordsDiffer);
  EXPECT_EQ(with([](JoinForm& f) { f.id = "한글아이디입니다"; }), text::kIdHangul);
  EXPECT_EQ(with([](JoinForm& f) { f.id = "abc"; }), text::kIdTooShort);
  EXPECT_EQ(with([](JoinForm& f) { f.id = "abcdef"; }), text::kIdTooShort);
  EXPECT_EQ(with([](JoinForm& f) { f.password = f.passwordAgain = "12345"; }),
            text::kPasswordTooShort);
  // A Hangul syllable is two CP949 bytes: three of them make six.
  EXPECT_EQ(with([](JoinForm& f) { f.password = f.passwordAgain = "비밀번"; }), std::nullopt);
  EXPECT_EQ(with([](JoinForm& f) { f.name = ""; }), text::kNameInvalid);
  EXPECT_EQ(with([](JoinForm& f) { f.name = "K"; }), text::kNameInvalid);
  EXPECT_EQ(with([](JoinForm& f) { f.phone = "010-1234-5678"; }), text::kPhoneInvalid);
  EXPECT_EQ(with([](JoinForm& f) { f.phone = "0101234567"; }), text::kPhoneInvalid);
  EXPECT_EQ(with([](JoinForm& f) { f.phone = "abcdefghijk"; }), std::nullopt);
}

TEST(AdapterText, FirstEthernetElseLastElseEmpty) {
  app::AdapterEntry wifi{false, {1, 2, 3, 4, 5, 6}};
  app::AdapterEntry eth1{true, {0x00, 0x1A, 0x2B, 0xAC, 0xDE, 0xFF}};
  app::AdapterEntry eth2{true, {9, 9, 9, 9, 9, 9}};
  app::AdapterEntry tunnel{false, {0xAB, 0, 0, 0, 0, 0}};
  std::vector<app::AdapterEntry> list{wifi, eth1, eth2};
  EXPECT_EQ(app::ChooseAdapterText(list), "00:1A:2B:AC:DE:FF");
  list = {wifi, tunnel};
  EXPECT_EQ(app::ChooseAdapterText(list), "AB:00:00:00:00:00");
  EXPECT_EQ(app::ChooseAdapterText({}), "");
  std::string own = app::AdapterMacText();
  EXPECT_TRUE(own.empty() || own.size() == 17u) << own;
}

}  // namespace
}  // namespace orvane::protocol
