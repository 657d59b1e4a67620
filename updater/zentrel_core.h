// Zentrel's update logic: no Qt, every outside service behind a small interface.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "updater/signature.h"
#include "updater/update_listing.h"

namespace zentrel {

inline constexpr std::string_view kProgramName = "Orvane";
// The platform's executable suffix: none here.
inline constexpr std::string_view kExecutableSuffix = "";
inline constexpr std::string_view kLoginWindowTitle = "Orvane 서버 로그인";
inline constexpr std::string_view kStatusUpdating = "업데이트중...";
inline constexpr std::string_view kStatusComplete = "업데이트 완료";
inline constexpr std::string_view kStatusKeptOld = "업데이트 실패: 기존 프로그램을 유지합니다";
inline constexpr std::string_view kStatusBadSignature =
    "서명 확인 실패: 기존 프로그램을 유지합니다";
inline constexpr std::string_view kFinishText = "업데이트가 완료되었습니다.\n다시 로그인 하세요.";
inline constexpr std::string_view kFinishCaption = "Update Complete";
inline constexpr int kProgressMax = 10000;
inline constexpr std::size_t kReadBufferSize = 1024;
inline constexpr int kEmptyReadLimit = 10;
// A listing beyond this size is cut: no real folder listing comes near it.
inline constexpr std::size_t kMaxListingBytes = 8u << 20;
// A detached Ed25519 signature is 64 bytes; anything much longer is not one.
inline constexpr std::size_t kMaxSignatureBytes = 4096;

std::string WantedEntry();

// One HTTP GET read like a file: Read blocks until bytes arrive, the body ends or it fails.
class HttpStream {
 public:
  virtual ~HttpStream() = default;
  // Up to `capacity` bytes; 0 once the body has ended, failed or the stop was requested.
  virtual std::size_t Read(char* buffer, std::size_t capacity) = 0;
  // The Content-Length header, when the server sent one.
  virtual std::optional<std::uint64_t> ContentLength() const = 0;
  virtual int Status() const = 0;
  // True once the whole body arrived without a transport error.
  virtual bool Completed() const = 0;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // Null when the request could not be made (no connection, time-out, stop).
  virtual std::unique_ptr<HttpStream> Open(const std::string& url, std::stop_token stop) = 0;
};

class WindowProbe {
 public:
  virtual ~WindowProbe() = default;
  virtual bool TopLevelWindowExists(std::string_view title) = 0;
};

// Where the status line, the bar and the finish message go; called from the worker thread.
class UiSink {
 public:
  virtual ~UiSink() = default;
  virtual void SetStatus(std::string_view text) = 0;
  virtual void SetProgress(int position) = 0;
};

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const char* data, std::size_t size) = 0;
  virtual bool Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool Exists(const std::filesystem::path& path) = 0;
  virtual bool Remove(const std::filesystem::path& path) = 0;
  virtual std::unique_ptr<OutputFile> Create(const std::filesystem::path& path) = 0;
  virtual std::optional<std::string> ReadAll(const std::filesystem::path& path) = 0;
  // Atomically puts `from` in place of `to` and gives it its run permission.
  virtual bool Install(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
};

class LocalFileSystem final : public FileSystem {
 public:
  bool Exists(const std::filesystem::path& path) override;
  bool Remove(const std::filesystem::path& path) override;
  std::unique_ptr<OutputFile> Create(const std::filesystem::path& path) override;
  std::optional<std::string> ReadAll(const std::filesystem::path& path) override;
  bool Install(const std::filesystem::path& from, const std::filesystem::path& to) override;
};

struct UpdaterConfig {
  std::string updateHost{kDefaultUpdateHost};
  // Where the new executable is written and from where it is started.
  std::filesystem::path workDir;
  std::optional<PublicKey> publicKey;
  std::chrono::milliseconds windowPoll{100};
};

enum class DownloadOutcome { kInstalled, kFailed, kBadSignature, kStopped };

struct UpdateReport {
  int entriesMatched = 0;
  int installed = 0;
  int refused = 0;
  int failed = 0;
  bool stopped = false;
};

// The worker's whole run: wait for the login window to go, read the listing, download.
class Updater {
 public:
  Updater(UpdaterConfig config, HttpClient& http, WindowProbe* probe, FileSystem& files,
          UiSink& ui);

  UpdateReport Run(std::stop_token stop);
  std::string ListingUrl() const;
  DownloadOutcome Download(const std::string& entry, std::stop_token stop);

 private:
  std::optional<std::string> FetchSmall(const std::string& url, std::size_t limit,
                                        std::stop_token stop);
  bool WaitForLoginWindow(std::stop_token stop);

  UpdaterConfig config_;
  HttpClient& http_;
  WindowProbe* probe_;
  FileSystem& files_;
  UiSink& ui_;
};

// What happens once the worker is done: status, message, start of the new program.
struct FinishHooks {
  std::function<void(std::string_view text)> setStatus;
  std::function<void(std::string_view text, std::string_view caption)> showMessage;
  std::function<bool(const std::filesystem::path& program)> exists;
  std::function<bool(const std::filesystem::path& program)> start;
};

// Returns true when the main program was started.
bool FinishUpdate(const UpdateReport& report, const std::filesystem::path& workDir,
                  const FinishHooks& hooks);

}  // namespace zentrel
