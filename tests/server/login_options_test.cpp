#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "server/options.h"

namespace orvane::server {
namespace {

ParsedOptions Parse(std::vector<std::string_view> args) { return ParseServerOptions(args); }

TEST(LoginOptions, DefaultsAndOverrides) {
  ParsedOptions defaults = Parse({});
  ASSERT_TRUE(defaults.options);
  EXPECT_EQ(defaults.options->udpPort, 10003);
  EXPECT_EQ(defaults.options->database, "orvane_members.db");
  EXPECT_EQ(defaults.options->clientVersion, "Ver.1.0.1");

  ParsedOptions set = Parse({"--udp-port", "0", "--db=/tmp/m.db", "--client-version", "Ver.2"});
  ASSERT_TRUE(set.options) << set.error;
  EXPECT_EQ(set.options->udpPort, 0);
  EXPECT_EQ(set.options->database, "/tmp/m.db");
  EXPECT_EQ(set.options->clientVersion, "Ver.2");

  EXPECT_FALSE(Parse({"--udp-port", "70000"}).options);
  EXPECT_FALSE(Parse({"--udp-port", "x"}).options);
  EXPECT_FALSE(Parse({"--db", ""}).options);
  // A version with ";" could never match a login message's version field.
  EXPECT_FALSE(Parse({"--client-version", "V;1"}).options);
}

}  // namespace
}  // namespace orvane::server
