// Downloads over real HTTP on loopback, against a small update service in the test.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "fakes.h"
#include "updater/curl_http.h"
#include "updater/zentrel_core.h"

namespace zentrel::testing {
namespace {

namespace fs = std::filesystem;

// kEndless sends `cutAt` bytes made on the fly, chunked, whatever the body says.
enum class Delivery { kLength, kChunked, kCutLength, kCutChunked, kHold, kEndless };

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
      ++requests_;
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
  // A captive portal: every path answers 200 with the listing text.
  void SetPortal(bool portal) {
    std::lock_guard lock(mutex_);
    portal_ = portal;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    files_.clear();
    portal_ = false;
    requests_ = 0;
  }
  int Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  void Serve(const std::string& name, httplib::Response& res) {
    std::unique_lock lock(mutex_);
    ++requests_;
    if (portal_) {
      res.set_content(listing_, "text/html");
      return;
    }
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
      case Delivery::kEndless:
        res.set_chunked_content_provider(
            kType, [cutAt](std::size_t offset, httplib::DataSink& sink) {
              static const std::string kBlock(std::size_t{64} * 1024, '\0');
              if (offset >= cutAt) {
                sink.done();
                return true;
              }
              return sink.write(kBlock.data(), std::min(kBlock.size(), cutAt - offset));
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
  bool portal_ = false;
  int requests_ = 0;
};

class DownloadTest : public ::testing::Test {
 protected:
  DownloadTest() {
    config.updateHost = server.Host();
    config.workDir = dir.path();
    config.publicKey = publisher.keys.publicKey;
    options.connectTimeout = std::chrono::seconds(2);
    WriteText(Program(), "old");
  }
  fs::path Program() const { return dir.path() / "Orvane"; }
  // Publishes `body` as the program, signed as release `release`.
  void Offer(ServedFile body, std::uint64_t release = 5) {
    const std::string manifest = publisher.ManifestFor(body.body, release);
    server.SetListing(Listing({"Zentrel", "Orvane", "Orvane.manifest", "Orvane.manifest.sig"}));
    server.SetFile("Orvane", std::move(body));
    server.SetFile("Orvane.manifest", {manifest});
    server.SetFile("Orvane.manifest.sig", {publisher.Sign(manifest)});
  }
  UpdateOutcome Run() {
    CurlHttpClient http(options);
    Updater updater(config, http, nullptr, files, sink);
    return updater.Run(stop.get_token()).outcome;
  }

  Publisher publisher;
  UpdateServer server;
  TempDir dir;
  UpdaterConfig config;
  CurlOptions options;
  LocalFileSystem files;
  RecordingSink sink;
  std::stop_source stop;
};

TEST_F(DownloadTest, SignedBuildInstallsWithAndWithoutContentLengthAndRuns) {
  const std::string body = "#!/bin/sh\nexit 7\n" + RandomBytes(300'000, 3);
  for (const Delivery delivery : {Delivery::kLength, Delivery::kChunked}) {
    WriteText(Program(), "old");
    Offer({body, delivery});
    sink.Clear();
    EXPECT_EQ(Run(), UpdateOutcome::kInstalled);
    EXPECT_EQ(ReadText(Program()), body);
    const std::vector<int> progress = sink.Progress();
    EXPECT_EQ(progress.back(), kProgressMax);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  }
  EXPECT_EQ(Snapshot(dir.path()).size(), 2u);  // the program and its installed manifest
  struct stat info {};
  ASSERT_EQ(::stat(Program().c_str(), &info), 0);
  EXPECT_NE(info.st_mode & S_IXUSR, 0u);
  const int status = std::system(Program().c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 7);
}

// Each hostile answer, with and without a key built in: the folder keeps its bytes and nothing
// is left beside them. Without a key not even the listing is asked for.
TEST_F(DownloadTest, HostileServerNeverChangesTheProgramFolder) {
  const std::string body = ProgramBytes(200'000, 5);
  const std::string html = "<html><body>Please sign in to use this network</body></html>";
  const std::string manifest = publisher.ManifestFor(body);
  std::string flipped = publisher.Sign(manifest);
  flipped[3] ^= 1;
  const std::string older = publisher.ManifestFor(body, 2);
  struct Case {
    const char* name;
    std::function<void()> serve;
    UpdateOutcome outcome;
  };
  const std::vector<Case> cases{
      {"unsigned file",
       [&] {
         server.SetListing(Listing({"Orvane"}));
         server.SetFile("Orvane", {"#!/bin/sh\nrm -rf ~\n"});
       },
       UpdateOutcome::kBadSignature},
      {"captive portal",
       [&] {
         server.SetListing(html);
         server.SetPortal(true);
       },
       UpdateOutcome::kNothingOffered},
      {"html page for the program",
       [&] {
         Offer({body});
         server.SetFile("Orvane", {html});
       },
       UpdateOutcome::kFailed},
      {"cut body with length",
       [&] {
         Offer({body, Delivery::kCutLength, 100'000});
       },
       UpdateOutcome::kFailed},
      {"cut body without length",
       [&] {
         Offer({body, Delivery::kCutChunked, 100'000});
       },
       UpdateOutcome::kFailed},
      {"bad signature",
       [&] {
         Offer({body});
         server.SetFile("Orvane.manifest.sig", {flipped});
       },
       UpdateOutcome::kBadSignature},
      {"oversized signature",
       [&] {
         Offer({body});
         server.SetFile("Orvane.manifest.sig", {std::string(1 << 20, 's')});
       },
       UpdateOutcome::kBadSignature},
      {"older release",
       [&] {
         Offer({body});
         server.SetFile("Orvane.manifest", {older});
         server.SetFile("Orvane.manifest.sig", {publisher.Sign(older)});
       },
       UpdateOutcome::kOlderRelease},
      {"300 MB body for a signed 200 KB",
       [&] {
         Offer({body});
         server.SetFile("Orvane", {body, Delivery::kEndless, 300u << 20});
       },
       UpdateOutcome::kFailed},
      {"listing with path tricks",
       [&] {
         Offer({body});
         server.SetListing(Listing({"../Orvane", "/etc/passwd", "Orvane/../../x", "%2e%2e/Orvane",
                                    "./Orvane", "Orvane\r"}));
       },
       UpdateOutcome::kNothingOffered},
  };
  // An installed release newer than the older offer.
  WriteText(dir.path() / "Orvane.manifest", publisher.ManifestFor("installed", 3));
  const auto before = Snapshot(dir.path());
  for (const bool keyed : {true, false}) {
    if (!keyed) config.publicKey.reset();
    for (const Case& c : cases) {
      server.Clear();
      c.serve();
      const auto started = std::chrono::steady_clock::now();
      EXPECT_EQ(Run(), keyed ? c.outcome : UpdateOutcome::kSwitchedOff) << c.name;
      EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10)) << c.name;
      EXPECT_EQ(Snapshot(dir.path()), before) << c.name;
      if (!keyed) {
        EXPECT_EQ(server.Requests(), 0) << c.name;
      }
    }
  }
}

TEST_F(DownloadTest, FullDiskKeepsTheOldProgram) {
  Offer({ProgramBytes(200'000, 9)});
  const auto before = Snapshot(dir.path());
  // A file size limit makes writes fail as a full disk would (EFBIG instead of ENOSPC).
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = rlim_t{64} * 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const UpdateOutcome outcome = Run();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(outcome, UpdateOutcome::kFailed);
  EXPECT_EQ(Snapshot(dir.path()), before);
}

TEST_F(DownloadTest, StalledTransferGivesUpAndKeepsTheOldProgram) {
  options.stallTimeout = std::chrono::seconds(1);
  // One byte, then silence: curl's speed check averages over a few seconds.
  Offer({ProgramBytes(50'000), Delivery::kHold, 1});
  EXPECT_EQ(Run(), UpdateOutcome::kFailed);
  EXPECT_EQ(Snapshot(dir.path()).size(), 1u);
}

TEST_F(DownloadTest, CancelDuringTheDownloadKeepsTheOldProgram) {
  Offer({ProgramBytes(50'000), Delivery::kHold, 20'000});
  sink.onProgress = [this](int position) {
    if (position > 0) stop.request_stop();
  };
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(), UpdateOutcome::kStopped);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_EQ(ReadText(Program()), "old");
  EXPECT_EQ(Snapshot(dir.path()).size(), 1u);
}

TEST_F(DownloadTest, MissingFileAndServerDownKeepTheOldProgram) {
  // Every file answers 404 with an HTML body; the listing still names the program.
  server.SetListing(Listing({"Orvane"}));
  EXPECT_EQ(Run(), UpdateOutcome::kBadSignature);
  std::string deadHost;
  {
    UpdateServer gone;
    deadHost = gone.Host();
  }
  config.updateHost = deadHost;
  EXPECT_EQ(Run(), UpdateOutcome::kNothingOffered);
  EXPECT_EQ(ReadText(Program()), "old");
}

}  // namespace
}  // namespace zentrel::testing
