// Test doubles for Zentrel's outside services.
#pragma once

#include <atomic>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "updater/zentrel_core.h"

namespace zentrel::testing {

// A fresh folder under the system temp folder, removed at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("zentrel-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string ReadText(const std::filesystem::path& path);
void WriteText(const std::filesystem::path& path, const std::string& text);
// The folder listing shape the update service sends.
std::string Listing(const std::vector<std::string>& names);
std::string RandomBytes(std::size_t size, unsigned seed = 1);
// A script that runs here, padded with random bytes to `size`.
std::string ProgramBytes(std::size_t size, unsigned seed = 1);
// Every file of a folder with its bytes: equal before and after means untouched.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder);

// Runs a shell command; its standard output, with its exit status in `status`.
std::string Capture(const std::string& command, int* status);

// A publisher with a key made for the test.
struct Publisher {
  KeyPair keys = *GenerateKeyPair();
  std::string ManifestFor(const std::string& body, std::uint64_t release = 1,
                          const std::string& program = "Orvane") const;
  std::string Sign(const std::string& text) const { return *zentrel::Sign(text, keys.secretKey); }
};

// One scripted answer: the body comes in the given reads; an empty read is an empty string.
struct FakeResponse {
  int status = 200;
  std::optional<std::uint64_t> contentLength;
  std::vector<std::string> reads;
  bool completes = true;

  static FakeResponse Body(const std::string& body, bool withLength = true);
};

class FakeHttp final : public HttpClient {
 public:
  // Answers for one URL are used in turn; the last one repeats.
  void Add(const std::string& url, FakeResponse response);
  std::unique_ptr<HttpStream> Open(const std::string& url, std::stop_token stop) override;
  int Requests(const std::string& url) const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::deque<FakeResponse>> answers_;
  std::map<std::string, int> requests_;
};

class RecordingSink final : public UiSink {
 public:
  void SetStatus(std::string_view text) override;
  void SetProgress(int position) override;
  std::vector<std::string> Statuses() const;
  std::vector<int> Progress() const;
  void Clear();
  std::function<void(int)> onProgress;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> statuses_;
  std::vector<int> progress_;
};

// Says the window exists for the first `times` questions.
class FakeProbe final : public WindowProbe {
 public:
  explicit FakeProbe(int times) : remaining_(times) {}
  bool TopLevelWindowExists(std::string_view title) override {
    ++asked_;
    lastTitle_ = std::string(title);
    return remaining_ < 0 || remaining_-- > 0;
  }
  int asked() const { return asked_; }
  std::string lastTitle() const { return lastTitle_; }

 private:
  std::atomic<int> remaining_;  // negative: forever
  std::atomic<int> asked_{0};
  std::string lastTitle_;
};

}  // namespace zentrel::testing
