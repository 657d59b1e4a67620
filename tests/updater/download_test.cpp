// Downloads over real HTTP on loopback, against a small update service in the test.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "fakes.h"
#include "updater/curl_http.h"
#include "updater/zentrel_core.h"

namespace zentrel::testing {
namespace {

namespace fs = std::filesystem;

enum class Delivery { kLength, kChunked, kCutLength, kCutChunked, kHold };

struct ServedFile {
  std::string body;
  Delivery delivery = Delivery::kLength;
  std::size_t cutAt = 0;  // bytes sent before a cut or a hold
};

// Serves "/UpdateFiles/" and its files the way the update service does, plus broken transfers.
class UpdateServer {
 public:
  UpdateServer() {
    server_.Get("/UpdateFiles/", [this](const httplib::Request&, httplib::Response& res) {
      std::lock_guard lock(mutex_);
      res.set_content(listing_, "text/html; charset=utf-8");
    });
    server_.Get(R"(/UpdateFiles/(.+))",
                [this](const httplib::Request& req, httplib::Response& res) {
                  Serve(req.matches[1].str(), res);
                });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // A stop before the accept loop runs would be lost and the join would hang.
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~UpdateServer() {
    {
      std::lock_guard lock(mutex_);
      released_ = true;
    }
    release_.notify_all();
    server_.stop();
    thread_.join();
  }
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  void SetListing(std::string listing) {
    std::lock_guard lock(mutex_);
    listing_ = std::move(listing);
  }
  void SetFile(const std::string& name, ServedFile file) {
    std::lock_guard lock(mutex_);
    files_[name] = std::move(file);
  }

 private:
  void Serve(const std::string& name, httplib::Response& res) {
    std::unique_lock lock(mutex_);
    auto found = files_.find(name);
    if (found == files_.end()) {
      res.status = 404;
      res.set_content("<html>Not Found</html>", "text/html");
      return;
    }
    const ServedFile file = found->second;
    lock.unlock();
    const auto body = std::make_shared<std::string>(file.body);
    const std::size_t cutAt = file.cutAt;
    constexpr char kType[] = "application/octet-stream";
    switch (file.delivery) {
      case Delivery::kLength:
        res.set_content(*body, kType);
        break;
      case Delivery::kChunked:
        res.set_chunked_content_provider(
            kType, [body](std::size_t offset, httplib::DataSink& sink) {
              const std::size_t n = std::min<std::size_t>(4096, body->size() - offset);
              sink.write(body->data() + offset, n);
              if (offset + n == body->size()) sink.done();
              return true;
            });
        break;
      case Delivery::kCutLength:
      case Delivery::kHold:
        res.set_content_provider(
            body->size(), kType,
            [this, body, cutAt, hold = file.delivery == Delivery::kHold](
                std::size_t offset, std::size_t length, httplib::DataSink& sink) {
              if (offset < cutAt) {
                sink.write(body->data() + offset, std::min(length, cutAt - offset));
                return true;
              }
              if (hold) {
                std::unique_lock wait(mutex_);
                release_.wait(wait, [this] { return released_; });
              }
              return false;  // drops the connection mid-body
            });
        break;
      case Delivery::kCutChunked:
        res.set_chunked_content_provider(
            kType, [body, cutAt](std::size_t offset, httplib::DataSink& sink) {
              if (offset >= cutAt) return false;
              sink.write(body->data() + offset, std::min<std::size_t>(1000, cutAt - offset));
              return true;
            });
        break;
    }
  }

  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  std::mutex mutex_;
  std::condition_variable release_;
  bool released_ = false;
  std::string listing_;
  std::map<std::string, ServedFile> files_;
};

class DownloadTest : public ::testing::Test {
 protected:
  DownloadTest() {
    config.updateHost = server.Host();
    config.workDir = dir.path();
    options.connectTimeout = std::chrono::seconds(2);
  }
  fs::path Program() const { return dir.path() / "Orvane"; }
  UpdateReport Run() {
    CurlHttpClient http(options);
    Updater updater(config, http, nullptr, files, sink);
    return updater.Run(stop.get_token());
  }
  bool OnlyProgramLeft() const {
    return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()) == 1;
  }

  UpdateServer server;
  TempDir dir;
  UpdaterConfig config;
  CurlOptions options;
  LocalFileSystem files;
  RecordingSink sink;
  std::stop_source stop;
};

TEST_F(DownloadTest, InstallsWithAndWithoutContentLength) {
  const std::string body = RandomBytes(300'000, 3);
  server.SetListing(Listing({"Zentrel", "Orvane"}));
  for (const Delivery delivery : {Delivery::kLength, Delivery::kChunked}) {
    WriteText(Program(), "old");
    server.SetFile("Orvane", {body, delivery});
    sink.Clear();
    const UpdateReport report = Run();
    EXPECT_EQ(report.installed, 1);
    EXPECT_EQ(ReadText(Program()), body);
    EXPECT_TRUE(OnlyProgramLeft());
    const std::vector<int> progress = sink.Progress();
    if (delivery == Delivery::kLength) {
      EXPECT_EQ(progress.back(), kProgressMax);
      EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    } else {
      EXPECT_EQ(progress, std::vector<int>{0});
    }
  }
}

TEST_F(DownloadTest, InstalledProgramRuns) {
  server.SetListing(Listing({"Orvane"}));
  server.SetFile("Orvane", {"#!/bin/sh\nexit 7\n"});
  ASSERT_EQ(Run().installed, 1);
  struct stat info {};
  ASSERT_EQ(::stat(Program().c_str(), &info), 0);
  EXPECT_NE(info.st_mode & S_IXUSR, 0u);
  const int status = std::system(Program().c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 7);
}

TEST_F(DownloadTest, CutTransferKeepsTheOldProgram) {
  const std::string body = RandomBytes(200'000, 5);
  server.SetListing(Listing({"Orvane"}));
  for (const Delivery delivery : {Delivery::kCutLength, Delivery::kCutChunked}) {
    WriteText(Program(), "old");
    server.SetFile("Orvane", {body, delivery, 100'000});
    const UpdateReport report = Run();
    EXPECT_EQ(report.failed, 1);
    EXPECT_EQ(ReadText(Program()), "old");
    EXPECT_TRUE(OnlyProgramLeft());
    EXPECT_EQ(sink.Statuses().back(), kStatusKeptOld);
  }
}

TEST_F(DownloadTest, FullDiskKeepsTheOldProgram) {
  const std::string body = RandomBytes(200'000, 9);
  server.SetListing(Listing({"Orvane"}));
  server.SetFile("Orvane", {body});
  WriteText(Program(), "old");
  // A file size limit makes writes fail as a full disk would (EFBIG instead of ENOSPC).
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = rlim_t{64} * 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const UpdateReport report = Run();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(report.installed, 0);
  EXPECT_EQ(report.failed, 1);
  EXPECT_EQ(ReadText(Program()), "old");
  EXPECT_TRUE(OnlyProgramLeft());
  EXPECT_EQ(sink.Statuses().back(), kStatusKeptOld);
}

TEST_F(DownloadTest, StalledTransferGivesUpAndKeepsTheOldProgram) {
  options.stallTimeout = std::chrono::seconds(1);
  WriteText(Program(), "old");
  server.SetListing(Listing({"Orvane"}));
  // One byte, then silence: curl's speed check averages over a few seconds.
  server.SetFile("Orvane", {RandomBytes(50'000), Delivery::kHold, 1});
  EXPECT_EQ(Run().failed, 1);
  EXPECT_EQ(ReadText(Program()), "old");
  EXPECT_TRUE(OnlyProgramLeft());
}

TEST_F(DownloadTest, CancelDuringTheDownloadKeepsTheOldProgram) {
  WriteText(Program(), "old");
  server.SetListing(Listing({"Orvane"}));
  server.SetFile("Orvane", {RandomBytes(50'000), Delivery::kHold, 20'000});
  sink.onProgress = [this](int position) {
    if (position > 0) stop.request_stop();
  };
  const auto started = std::chrono::steady_clock::now();
  const UpdateReport report = Run();
  EXPECT_TRUE(report.stopped);
  EXPECT_EQ(report.installed + report.failed, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_EQ(ReadText(Program()), "old");
  EXPECT_TRUE(OnlyProgramLeft());
}

TEST_F(DownloadTest, MissingFileAndServerDownKeepTheOldProgram) {
  WriteText(Program(), "old");
  server.SetListing(Listing({"Orvane"}));
  EXPECT_EQ(Run().failed, 1);  // 404 with an HTML body
  EXPECT_EQ(ReadText(Program()), "old");

  std::string deadHost;
  {
    UpdateServer gone;
    deadHost = gone.Host();
  }
  config.updateHost = deadHost;
  EXPECT_EQ(Run().entriesMatched, 0);
  EXPECT_EQ(ReadText(Program()), "old");
}

TEST_F(DownloadTest, SignatureIsCheckedWhenAKeyIsBuiltIn) {
  const std::optional<KeyPair> keys = GenerateKeyPair();
  ASSERT_TRUE(keys);
  config.publicKey = keys->publicKey;
  const std::string body = RandomBytes(100'000, 9);
  server.SetListing(Listing({"Orvane"}));
  server.SetFile("Orvane", {body, Delivery::kChunked});

  WriteText(Program(), "old");
  EXPECT_EQ(Run().refused, 1);  // no signature on the server
  EXPECT_EQ(ReadText(Program()), "old");

  server.SetFile("Orvane.sig", {*Sign(body + "tampered", keys->secretKey)});
  EXPECT_EQ(Run().refused, 1);
  EXPECT_EQ(ReadText(Program()), "old");
  EXPECT_EQ(sink.Statuses().back(), kStatusBadSignature);
  EXPECT_TRUE(OnlyProgramLeft());

  server.SetFile("Orvane.sig", {*Sign(body, keys->secretKey)});
  EXPECT_EQ(Run().installed, 1);
  EXPECT_EQ(ReadText(Program()), body);
}

}  // namespace
}  // namespace zentrel::testing
