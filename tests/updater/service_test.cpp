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
  UpdateReport Run() {
    CurlHttpClient http;
    Updater updater(config, http, nullptr, files, sink);
    return updater.Run({});
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

TEST_F(ServiceTest, InstallsTheOfferedBuildOnlyWhenItsSignatureVerifies) {
  ASSERT_TRUE(running);
  const std::string build = "#!/bin/sh\necho new\n" + RandomBytes(2'000'000, 11);
  WriteText(UpdateDir() / "Orvane", build);
  WriteText(UpdateDir() / "orvane", "wrong case");
  WriteText(client.path() / "Orvane", "old");
  const std::optional<KeyPair> keys = GenerateKeyPair();
  ASSERT_TRUE(keys);
  config.publicKey = keys->publicKey;

  EXPECT_EQ(Run().refused, 1);  // the service offers no signature yet
  EXPECT_EQ(ReadText(client.path() / "Orvane"), "old");

  WriteText(UpdateDir() / "Orvane.sig", *Sign(build, keys->secretKey));
  const UpdateReport report = Run();
  EXPECT_EQ(report.entriesMatched, 1);
  EXPECT_EQ(report.installed, 1);
  EXPECT_EQ(ReadText(client.path() / "Orvane"), build);
  EXPECT_EQ(sink.Progress().back(), kProgressMax);
  struct stat info {};
  ASSERT_EQ(::stat((client.path() / "Orvane").c_str(), &info), 0);
  EXPECT_NE(info.st_mode & S_IXUSR, 0u);
}

}  // namespace
}  // namespace zentrel::testing
