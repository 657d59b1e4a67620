#include "data/fetch.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include "tests/support/test_support.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

FetchOptions Quick() {
  FetchOptions o;
  o.connectTimeout = 1000ms;
  o.stallTimeout = 1000ms;
  o.replacePause = 0ms;
  return o;
}

class FetchFromServer : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<test::ServerProcess>(test::SampleRoot());
    ASSERT_TRUE(server_->started()) << server_->Output();
    cache_ = cache.path().string() + "/";
  }

  std::string Cached(const std::string& name) const { return test::ReadFile(cache.path() / name); }

  test::TempDir cache;
  std::string cache_;
  std::unique_ptr<test::ServerProcess> server_;
};

TEST_F(FetchFromServer, CopiesSeriesAndPictureBytesReplacingOldCopies) {
  const fs::path series = test::SampleRoot() / "orvane_data" / "10001.txt";
  const fs::path picture = test::SampleRoot() / "orvane_img" / "Orvane_Login.bmp";
  test::WriteFile(cache.path() / "10001.txt", "an older copy that is longer than nothing");

  EXPECT_EQ(FetchFile(server_->Url("/orvane_data/10001.txt"), "10001.txt", cache_, Quick()),
            FetchResult::Ok);
  EXPECT_EQ(Cached("10001.txt"), test::ReadFile(series));

  EXPECT_EQ(
      FetchFile(server_->Url("/orvane_img/Orvane_Login.bmp"), "Orvane_Login.bmp", cache_, Quick()),
      FetchResult::Ok);
  EXPECT_EQ(Cached("Orvane_Login.bmp"), test::ReadFile(picture));
  // Nothing but the fetched files is left in the cache folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(cache.path()), fs::directory_iterator()), 2);
}

TEST_F(FetchFromServer, NotFoundLeavesNoFileEvenWhereAnOldCopyWas) {
  test::WriteFile(cache.path() / "99999.txt", "old");
  EXPECT_EQ(FetchFile(server_->Url("/orvane_data/99999.txt"), "99999.txt", cache_, Quick()),
            FetchResult::HttpError);
  EXPECT_FALSE(fs::exists(cache.path() / "99999.txt"));
  EXPECT_TRUE(fs::is_empty(cache.path()));
}

TEST_F(FetchFromServer, UnsafeNamesAreRefusedWithoutTouchingAnything) {
  test::WriteFile(cache.path() / "keep.txt", "keep");
  for (const std::string& name : std::vector<std::string>{"", ".", "..", "../keep.txt", "a/b",
                                                          "a\\b", std::string("a\0b", 3)}) {
    EXPECT_EQ(FetchFile(server_->Url("/orvane_data/10001.txt"), name, cache_, Quick()),
              FetchResult::UnsafeName)
        << name;
  }
  EXPECT_EQ(Cached("keep.txt"), "keep");
  EXPECT_EQ(std::distance(fs::directory_iterator(cache.path()), fs::directory_iterator()), 1);
}

TEST_F(FetchFromServer, WithoutCacheFolderTheFileLandsInTheCurrentFolder) {
  const fs::path before = fs::current_path();
  fs::current_path(cache.path());
  const FetchResult r =
      FetchFile(server_->Url("/orvane_img/orvane_bg.bmp"), "orvane_bg.bmp", "", Quick());
  fs::current_path(before);
  EXPECT_EQ(r, FetchResult::Ok);
  EXPECT_EQ(Cached("orvane_bg.bmp"),
            test::ReadFile(test::SampleRoot() / "orvane_img" / "orvane_bg.bmp"));
}

class FetchFaults : public ::testing::Test {
 protected:
  std::string Target() const { return dir.path().string() + "/"; }
  bool Exists(const std::string& name) const { return fs::exists(dir.path() / name); }
  test::TempDir dir;
};

// The old copy stays until the outcome is known (a body over the limit keeps it); the pause that
// follows an old copy is taken before the request goes out.
TEST_F(FetchFaults, ThePauseIsTakenBeforeTheRequestAndTheOldCopyReplaced) {
  std::atomic<int> oldCopyAtRequest{-1};
  test::FakeServer fake([&](int s, const std::atomic<bool>&) {
    oldCopyAtRequest = Exists("f.txt") ? 1 : 0;
    test::SendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nnew");
  });
  test::WriteFile(dir.path() / "f.txt", "old");
  FetchOptions withPause = Quick();
  withPause.replacePause = 50ms;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(FetchFile(fake.Url("/f.txt"), "f.txt", Target(), withPause), FetchResult::Ok);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
  EXPECT_EQ(oldCopyAtRequest, 1);
  EXPECT_EQ(test::ReadFile(dir.path() / "f.txt"), "new");
}

TEST_F(FetchFaults, BodyCutShortLeavesNoFile) {
  test::FakeServer fake([](int s, const std::atomic<bool>&) {
    test::SendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(400, 'x'));
  });
  test::WriteFile(dir.path() / "cut.txt", "old");
  EXPECT_EQ(FetchFile(fake.Url("/cut.txt"), "cut.txt", Target(), Quick()),
            FetchResult::TransferFailed);
  EXPECT_FALSE(Exists("cut.txt"));
  EXPECT_TRUE(fs::is_empty(dir.path()));  // no temporary file left behind either

  test::FakeServer chunked([](int s, const std::atomic<bool>&) {
    test::SendAll(
        s, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\n0123456789abcdef\r\n");
  });
  EXPECT_EQ(FetchFile(chunked.Url("/c.txt"), "c.txt", Target(), Quick()),
            FetchResult::TransferFailed);
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(FetchFaults, GarbageInsteadOfAnAnswerIsNotData) {
  test::FakeServer fake([](int s, const std::atomic<bool>&) {
    test::SendAll(s, std::string("\x00\xff\x13 not an answer at all\r\n\r\nbody", 32));
  });
  test::WriteFile(dir.path() / "g.txt", "old");
  EXPECT_EQ(FetchFile(fake.Url("/g.txt"), "g.txt", Target(), Quick()), FetchResult::TransferFailed);
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(FetchFaults, SlowButSteadyBodyArrivesWhole) {
  // Each piece comes well within the stall time-out; the whole takes longer than it.
  test::FakeServer slow([](int s, const std::atomic<bool>&) {
    test::SendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 60\r\n\r\n");
    for (int i = 0; i < 6; ++i) {
      std::this_thread::sleep_for(250ms);
      test::SendAll(s, "0123456789");
    }
  });
  EXPECT_EQ(FetchFile(slow.Url("/slow.txt"), "slow.txt", Target(), Quick()), FetchResult::Ok);
  std::string whole;
  for (int i = 0; i < 6; ++i) whole += "0123456789";
  EXPECT_EQ(test::ReadFile(dir.path() / "slow.txt"), whole);
}

TEST_F(FetchFaults, UnwritableCacheFolderIsAWriteFailure) {
  test::FakeServer fake([](int s, const std::atomic<bool>&) {
    test::SendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ndata");
  });
  // Root may write anywhere it has permission bits for, so use folders no one can write in.
  test::WriteFile(dir.path() / "plain-file", "x");
  for (const std::string& folder : {Target() + "missing/", Target() + "plain-file/"}) {
    EXPECT_EQ(FetchFile(fake.Url("/d.txt"), "d.txt", folder, Quick()), FetchResult::WriteFailed)
        << folder;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(FetchFaults, FullDiskLeavesNoFileAndNoTemporary) {
  const std::string body(std::size_t{256} * 1024, 'z');
  test::FakeServer fake([&body](int s, const std::atomic<bool>&) {
    test::SendAll(
        s, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
  });
  test::WriteFile(dir.path() / "big.txt", "old");
  // A file size limit makes writes fail as a full disk would (EFBIG instead of ENOSPC).
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = rlim_t{16} * 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const FetchResult r = FetchFile(fake.Url("/big.txt"), "big.txt", Target(), Quick());
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(r, FetchResult::WriteFailed);
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(FetchFaults, BodyOverTheLimitWritesNothingAndKeepsTheOldCopy) {
  const std::string body(5000, 'b');
  test::FakeServer announced([&body](int s, const std::atomic<bool>&) {
    test::SendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + body);
  });
  // Without a length the limit is found while the body comes in.
  test::FakeServer unannounced([&body](int s, const std::atomic<bool>&) {
    test::SendAll(s, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body);
  });
  FetchOptions limited = Quick();
  limited.maxBytes = 4999;
  for (test::FakeServer* server : {&announced, &unannounced}) {
    test::WriteFile(dir.path() / "big.txt", "old");
    EXPECT_EQ(FetchFile(server->Url("/big.txt"), "big.txt", Target(), limited),
              FetchResult::TooLarge);
    EXPECT_EQ(test::ReadFile(dir.path() / "big.txt"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  }
  limited.maxBytes = 5000;
  EXPECT_EQ(FetchFile(announced.Url("/big.txt"), "big.txt", Target(), limited), FetchResult::Ok);
  EXPECT_EQ(test::ReadFile(dir.path() / "big.txt"), body);

  EXPECT_EQ(FetchLimitFor("10001.txt"), kMaxSeriesBytes);
  EXPECT_EQ(FetchLimitFor("Orvane_Login.BMP"), kMaxPictureBytes);
  EXPECT_EQ(FetchLimitFor("0.main.html"), kMaxPageBytes);
  EXPECT_EQ(kMaxSeriesBytes, 64u << 20);
  EXPECT_EQ(kMaxPictureBytes, 16u << 20);
}

TEST_F(FetchFaults, ZeroLengthBodyGivesAnEmptyFile) {
  test::FakeServer fake([](int s, const std::atomic<bool>&) {
    test::SendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  });
  EXPECT_EQ(FetchFile(fake.Url("/empty.txt"), "empty.txt", Target(), Quick()), FetchResult::Ok);
  ASSERT_TRUE(Exists("empty.txt"));
  EXPECT_EQ(fs::file_size(dir.path() / "empty.txt"), 0u);
}

TEST_F(FetchFaults, ErrorStatusWithBodyIsNotData) {
  test::FakeServer fake([](int s, const std::atomic<bool>&) {
    test::SendAll(s, "HTTP/1.1 500 Oops\r\nContent-Length: 13\r\n\r\n<html>x</html>");
  });
  EXPECT_EQ(FetchFile(fake.Url("/e.txt"), "e.txt", Target(), Quick()), FetchResult::HttpError);
  EXPECT_FALSE(Exists("e.txt"));
}

TEST_F(FetchFaults, DeadPortAndSilentServerEndWithinTheTimeOuts) {
  // A port nobody listens on: bind one, close it.
  int port = 0;
  {
    test::FakeServer probe([](int, const std::atomic<bool>&) {});
    port = probe.port();
  }
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(
      FetchFile("http://127.0.0.1:" + std::to_string(port) + "/x.txt", "x.txt", Target(), Quick()),
      FetchResult::TransferFailed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);

  // Accepts, reads the request and never answers until the test ends.
  test::FakeServer silent(
      [](int, const std::atomic<bool>& stopping) { test::WaitForStop(stopping); });
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(FetchFile(silent.Url("/x.txt"), "x.txt", Target(), Quick()),
            FetchResult::TransferFailed);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 900ms);
  EXPECT_LT(took, 8s);  // far below the 30 s default: the injected 1 s applied
  EXPECT_FALSE(Exists("x.txt"));

  test::FakeServer stalling([](int s, const std::atomic<bool>& stopping) {
    test::SendAll(s, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789");
    test::WaitForStop(stopping);
  });
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(FetchFile(stalling.Url("/x.txt"), "x.txt", Target(), Quick()),
            FetchResult::TransferFailed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(FetchFaults, ConnectTimeOutAppliesWhenNoHandshakeComes) {
  // A listener with a full backlog that never accepts: further handshakes go unanswered.
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  socklen_t len = sizeof(addr);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    const int f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    // Non-blocking: the connection completes (into the backlog) after the call returns.
    (void)::connect(f, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    fillers.push_back(f);
  }
  std::this_thread::sleep_for(100ms);
  FetchOptions o = Quick();
  o.stallTimeout = 10s;
  const auto start = std::chrono::steady_clock::now();
  const FetchResult r = FetchFile("http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/x",
                                  "x.txt", Target(), o);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r, FetchResult::TransferFailed);
  EXPECT_LT(took, 8s);
  for (int f : fillers) ::close(f);
  ::close(listener);
}

}  // namespace
}  // namespace orvane
