// Zentrel against the reference service on loopback: its listing and its files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "fakes.h"
#include "server/content_service.h"
#include "updater/curl_http.h"
#include "updater/zentrel_core.h"

namespace zentrel::testing {
namespace {

namespace fs = std::filesystem;

class ServiceTest : public ::testing::Test {
 protected:
  ServiceTest() {
    fs::create_directories(serverRoot.path() / "UpdateFiles");
    orvane::server::ContentServiceConfig serviceConfig;
    serviceConfig.port = 0;
    serviceConfig.root = serverRoot.path();
    serviceConfig.updateDir = UpdateDir();
    service = std::make_unique<orvane::server::ContentService>(serviceConfig);
    std::string error;
    bound = service->Bind(error);
    if (!bound) return;
    thread = std::thread([this] { service->Run(); });
    config.updateHost = "127.0.0.1:" + std::to_string(service->port());
    config.workDir = client.path();
    // The answer proves the accept loop runs, so the stop at the end is not lost.
    CurlHttpClient http;
    running = http.Open("http://" + config.updateHost + "/UpdateFiles/", {}) != nullptr;
  }
  ~ServiceTest() override {
    if (!bound) return;
    service->Stop();
    thread.join();
  }
  fs::path UpdateDir() const { return serverRoot.path() / "UpdateFiles"; }
  UpdateOutcome Run() {
    CurlHttpClient http;
    Updater updater(config, http, nullptr, files, sink);
    return updater.Run({}).outcome;
  }

  TempDir serverRoot;
  TempDir client;
  std::unique_ptr<orvane::server::ContentService> service;
  std::thread thread;
  bool bound = false;
  bool running = false;
  UpdaterConfig config;
  LocalFileSystem files;
  RecordingSink sink;
};

// What the publisher's tool writes, the service serves as stored; only that installs.
TEST_F(ServiceTest, InstallsWhatThePublisherSignedAndNothingTheFolderGainsLater) {
  ASSERT_TRUE(running);
  const std::string tool = std::string(ORVANE_BINARY_DIR) + "/updater/zentrel-sign";
  const fs::path key = serverRoot.path() / "publisher.key";  // outside the update folder
  const std::string build = ProgramBytes(2'000'000, 11);
  WriteText(UpdateDir() / "Orvane", build);
  WriteText(UpdateDir() / "orvane", "wrong case");
  WriteText(client.path() / "Orvane", "old");
  int status = -1;
  std::string publicKey = Capture(tool + " keygen " + key.string(), &status);
  ASSERT_EQ(status, 0);
  config.publicKey = ParsePublicKey(publicKey);
  ASSERT_TRUE(config.publicKey);

  EXPECT_EQ(Run(), UpdateOutcome::kBadSignature);  // nothing published yet
  EXPECT_EQ(ReadText(client.path() / "Orvane"), "old");

  Capture(
      tool + " publish " + key.string() + " " + (UpdateDir() / "Orvane").string() + " Ver.1.0.2 7",
      &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(ReadText(UpdateDir() / "Orvane.manifest"), Publisher{}.ManifestFor(build, 7));
  EXPECT_EQ(Run(), UpdateOutcome::kInstalled);
  EXPECT_EQ(ReadText(client.path() / "Orvane"), build);
  EXPECT_EQ(sink.Progress().back(), kProgressMax);

  // A file planted in place of the published one is not what was signed.
  WriteText(UpdateDir() / "Orvane", ProgramBytes(2'000'000, 12));
  EXPECT_EQ(Run(), UpdateOutcome::kBadSignature);
  EXPECT_EQ(ReadText(client.path() / "Orvane"), build);
}

}  // namespace
}  // namespace zentrel::testing
