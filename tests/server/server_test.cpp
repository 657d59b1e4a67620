#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "server/options.h"
#include "server/path_guard.h"
#include "server/update_listing.h"
#include "tests/support/test_support.h"
#include "updater/update_listing.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using test::RawExchange;

int StatusOf(const std::string& reply) {
  std::smatch m;
  static const std::regex status(R"(^HTTP/1\.[01] (\d{3}))");
  return std::regex_search(reply, m, status) ? std::stoi(m[1]) : 0;
}

std::string Get(int port, const std::string& target, const std::string& method = "GET") {
  return RawExchange(port,
                     method + " " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
}

std::string BodyOf(const std::string& reply) {
  const auto at = reply.find("\r\n\r\n");
  return at == std::string::npos ? std::string() : reply.substr(at + 4);
}

class ContentServer : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(updates_.path());
    test::WriteFile(updates_.path() / "Orvane", "new build");
    test::WriteFile(updates_.path() / "Orvane.sig", "signature");
    test::WriteFile(updates_.path() / "with space", "x");
    test::WriteFile(updates_.path() / ".hidden", "x");
    server_ = std::make_unique<test::ServerProcess>(
        std::vector<std::string>{"--http-port", "0", "--root", test::SampleRoot().string(),
                                 "--update-dir", updates_.path().string()});
    ASSERT_TRUE(server_->started()) << server_->Output();
  }

  int port() const { return server_->port(); }

  test::TempDir updates_;
  std::unique_ptr<test::ServerProcess> server_;
};

TEST_F(ContentServer, ServesStoredBytesAndLogsEachRequest) {
  const fs::path series = test::SampleRoot() / "orvane_data" / "10001.txt";
  const std::string reply = Get(port(), "/orvane_data/10001.txt");
  EXPECT_EQ(StatusOf(reply), 200);
  EXPECT_EQ(BodyOf(reply), test::ReadFile(series));
  EXPECT_NE(reply.find("charset=euc-kr"), std::string::npos);

  const std::string head = Get(port(), "/orvane_img/orvane_bg.bmp", "HEAD");
  EXPECT_EQ(StatusOf(head), 200);
  EXPECT_TRUE(BodyOf(head).empty());
  EXPECT_NE(
      head.find("Content-Length: " +
                std::to_string(fs::file_size(test::SampleRoot() / "orvane_img" / "orvane_bg.bmp"))),
      std::string::npos);

  EXPECT_EQ(StatusOf(Get(port(), "/world_Market/0.main.html")), 200);
  EXPECT_EQ(StatusOf(Get(port(), "/orvane_data/99999.txt")), 404);
  EXPECT_EQ(StatusOf(Get(port(), "/orvane_data/")), 404);  // no folder listings
  EXPECT_EQ(StatusOf(Get(port(), "/orvane_data/10001.txt", "POST")), 405);
  EXPECT_EQ(StatusOf(Get(port(), "/orvane_data/10001.txt", "DELETE")), 405);

  const std::string log = server_->Output();
  EXPECT_NE(log.find("\"GET /orvane_data/10001.txt\" 200"), std::string::npos) << log;
  EXPECT_NE(log.find("\"POST /orvane_data/10001.txt\" 405"), std::string::npos) << log;
}

TEST_F(ContentServer, RefusesEveryWayOutOfTheRoot) {
  // Each hostile target names a file that exists where it points; only the guard stands between.
  // The shared sample root stays untouched: the links go into this test's update folder.
  test::TempDir outside;
  test::WriteFile(outside.path() / "secret.txt", "secret");
  fs::create_directory_symlink(outside.path(), updates_.path() / "escape");
  fs::create_symlink(outside.path() / "secret.txt", updates_.path() / "secret.txt");
  fs::create_symlink(updates_.path() / "Orvane", updates_.path() / "inner");
  const std::string root = test::SampleRoot().filename().string();
  const std::string updates = updates_.path().filename().string();
  const std::string away = "/UpdateFiles/../" + outside.path().filename().string();
  struct Case {
    std::string hostile, legitimate;
  };
  for (const Case& c :
       std::vector<Case>{{"/../" + root + "/orvane_data/10001.txt", "/orvane_data/10001.txt"},
                         {"/orvane_data/../orvane_data/10001.txt", "/orvane_data/10001.txt"},
                         {"/orvane_data/%2e%2e/orvane_data/10001.txt", "/orvane_data/10001.txt"},
                         {"/orvane_data/./10001.txt", "/orvane_data/10001.txt"},
                         {"/orvane_data/10001.txt%00.bmp", "/orvane_data/10001.txt"},
                         {"/UpdateFiles/../" + updates + "/Orvane", "/UpdateFiles/Orvane"},
                         {"/UpdateFiles/%2e%2e/" + updates + "/Orvane", "/UpdateFiles/Orvane"},
                         {"/UpdateFiles/secret.txt", "/UpdateFiles/inner"},
                         {"/UpdateFiles/escape/secret.txt", "/UpdateFiles/inner"},
                         {away + "/secret.txt", "/UpdateFiles/inner"}}) {
    const std::string served = Get(port(), c.legitimate);
    ASSERT_EQ(StatusOf(served), 200) << c.legitimate;
    const std::string reply = Get(port(), c.hostile);
    EXPECT_EQ(StatusOf(reply), 404) << c.hostile << "\n" << reply;
    EXPECT_EQ(reply.find(BodyOf(served)), std::string::npos) << c.hostile;
    EXPECT_EQ(reply.find("secret"), std::string::npos) << c.hostile;
  }
  for (const char* target :
       {"/../etc/passwd", "/orvane_data\\..\\10001.txt", "etc/passwd", "http://x/../etc/passwd"}) {
    const int status = StatusOf(Get(port(), target));
    EXPECT_TRUE(status == 404 || status == 400) << target << " " << status;
  }
  EXPECT_EQ(BodyOf(Get(port(), "/UpdateFiles/")).find("secret"), std::string::npos);
}

TEST_F(ContentServer, BoundsTheRequestHead) {
  std::string huge = "GET /orvane_data/10001.txt HTTP/1.1\r\nHost: x\r\n";
  for (int i = 0; i < 64; ++i)
    huge += "X-Filler-" + std::to_string(i) + ": " + std::string(1000, 'a') + "\r\n";
  huge += "\r\nGET /orvane_data/10001.txt HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string reply = RawExchange(port(), huge);
  EXPECT_EQ(StatusOf(reply), 400);
  // The connection ends after the refusal: the rest is never read as a second request.
  EXPECT_EQ(reply.find("HTTP/1.1 200"), std::string::npos);

  // Longer than a request line may be, within what one request may read.
  const std::string longLine = "GET /" + std::string(9000, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n";
  EXPECT_EQ(StatusOf(RawExchange(port(), longLine)), 414);

  // A normal kept-alive pair of requests still works.
  const std::string pair =
      RawExchange(port(),
                  "GET /orvane_data/10001.txt HTTP/1.1\r\nHost: x\r\n\r\n"
                  "GET /orvane_data/1010018.txt HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  std::size_t count = 0;
  for (auto at = pair.find("HTTP/1.1 200"); at != std::string::npos;
       at = pair.find("HTTP/1.1 200", at + 1))
    ++count;
  EXPECT_EQ(count, 2u);
}

TEST_F(ContentServer, OverlappingRangesGetTheFileOnceAndSeriesAreNotCompressed) {
  const std::string file = test::ReadFile(test::SampleRoot() / "orvane_img" / "Orvane_Login.bmp");
  std::string ranges = "Range: bytes=0-" + std::to_string(file.size() - 1);
  for (int i = 1; i < 1000; ++i) ranges += ",0-" + std::to_string(file.size() - 1 - i);
  const std::string reply =
      RawExchange(port(), "GET /orvane_img/Orvane_Login.bmp HTTP/1.1\r\nHost: x\r\n" + ranges +
                              "\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(StatusOf(reply), 200);
  EXPECT_EQ(BodyOf(reply), file);
  // A few ranges that do not overlap are still served as ranges.
  const std::string two = RawExchange(port(),
                                      "GET /orvane_data/10001.txt HTTP/1.1\r\nHost: x\r\n"
                                      "Range: bytes=0-9,20-29\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(StatusOf(two), 206);
  const std::string series =
      RawExchange(port(),
                  "GET /orvane_data/10001.txt HTTP/1.1\r\nHost: x\r\nAccept-Encoding: br, gzip\r\n"
                  "Connection: close\r\n\r\n");
  EXPECT_EQ(BodyOf(series), test::ReadFile(test::SampleRoot() / "orvane_data" / "10001.txt"));
}

TEST_F(ContentServer, ListsTheUpdateFolderInTheUpdatersShape) {
  for (const std::string target : {"/UpdateFiles/", "/UpdateFiles"}) {
    const std::string reply = Get(port(), target);
    ASSERT_EQ(StatusOf(reply), 200) << target;
    EXPECT_EQ(zentrel::ParseListing(zentrel::JoinLines(BodyOf(reply))),
              (std::vector<std::string>{"Orvane", "Orvane.sig"}));
    EXPECT_NE(reply.find("<A HREF=\"/UpdateFiles/Orvane\">Orvane</A><br>"), std::string::npos);
  }
  EXPECT_EQ(BodyOf(Get(port(), "/UpdateFiles/Orvane")), "new build");
  EXPECT_EQ(StatusOf(Get(port(), "/UpdateFiles/.hidden")), 404);
}

TEST_F(ContentServer, StopsCleanlyOnSigterm) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(server_->Stop(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_NE(server_->Output().find("stopped"), std::string::npos);
}

TEST(ServerProgram, OptionsHelpAndBadStarts) {
  std::string out;
  EXPECT_EQ(test::RunProgram({test::ServerBinary().string(), "--help"}, &out), 0);
  for (std::string_view option :
       {"--listen", "--http-port", "--root", "--make-sample", "--update-dir"}) {
    EXPECT_NE(out.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(test::RunProgram({test::ServerBinary().string(), "--http-prt", "1"}, &out), 2);
  EXPECT_EQ(test::RunProgram({test::ServerBinary().string(), "--http-port", "70000"}, &out), 2);
  test::TempDir empty;
  EXPECT_EQ(test::RunProgram({test::ServerBinary().string(), "--http-port=0", "--root",
                              (empty.path() / "missing").string()},
                             &out),
            1);
  EXPECT_NE(out.find("--make-sample"), std::string::npos) << out;

  std::string_view args[] = {"--listen=0.0.0.0", "--http-port", "0", "--root", "r"};
  const auto parsed = server::ParseServerOptions(args);
  ASSERT_TRUE(parsed.options);
  EXPECT_EQ(parsed.options->listen, "0.0.0.0");
  EXPECT_EQ(parsed.options->httpPort, 0);
  EXPECT_EQ(parsed.options->EffectiveUpdateDir(), fs::path("r") / "UpdateFiles");
  std::string_view flagWithValue[] = {"--help=1"};
  EXPECT_FALSE(server::ParseServerOptions(flagWithValue).options);
}

TEST(ServerProgram, MakeSampleWritesARoot) {
  test::TempDir dir;
  std::string out;
  ASSERT_EQ(
      test::RunProgram({test::ServerBinary().string(), "--make-sample", dir.path().string()}, &out),
      0)
      << out;
  EXPECT_TRUE(fs::exists(dir.path() / "orvane_data" / "1010018.txt"));
  EXPECT_TRUE(fs::is_directory(dir.path() / "UpdateFiles"));
}

TEST(PathGuard, ResolvesOnlyRegularFilesInsideTheRoot) {
  test::TempDir dir;
  const fs::path root = fs::canonical(dir.path());
  fs::create_directories(root / "a");
  test::WriteFile(root / "a" / "f.txt", "x");
  fs::create_symlink(root / "a" / "f.txt", root / "inner-link");
  fs::create_symlink("/etc/hostname", root / "outer-link");
  EXPECT_EQ(server::ResolveUnderRoot(root, "/a/f.txt"), root / "a" / "f.txt");
  EXPECT_EQ(server::ResolveUnderRoot(root, "//a//f.txt"), root / "a" / "f.txt");
  EXPECT_EQ(server::ResolveUnderRoot(root, "/inner-link"), root / "a" / "f.txt");
  EXPECT_FALSE(server::ResolveUnderRoot(root, "/outer-link"));
  EXPECT_FALSE(server::ResolveUnderRoot(root, "/a"));
  EXPECT_FALSE(server::ResolveUnderRoot(root, "/"));
  EXPECT_FALSE(server::ResolveUnderRoot(root, "a/f.txt"));
  EXPECT_FALSE(server::ResolveUnderRoot(root, "/a/../a/f.txt"));
  EXPECT_FALSE(server::ResolveUnderRoot(root, std::string_view("/a/f.txt\0x", 10)));
  EXPECT_TRUE(server::IsInside("/srv/root", "/srv/root/x"));
  EXPECT_FALSE(server::IsInside("/srv/root", "/srv/rootx/y"));
  EXPECT_FALSE(server::IsInside("/srv/root", "/srv/root"));
  EXPECT_TRUE(server::IsInside("/srv/root/", "/srv/root/x"));
  EXPECT_FALSE(server::IsInside("/srv/root/", "/srv/rootx/y"));
  EXPECT_FALSE(server::IsInside("/srv/root/", "/srv/root"));
}

}  // namespace
}  // namespace orvane
