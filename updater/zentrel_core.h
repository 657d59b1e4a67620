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

#include "updater/manifest.h"
#include "updater/signature.h"
#include "updater/update_listing.h"

namespace zentrel {

inline constexpr std::string_view kProgramName = "Orvane";
// The platform's executable suffix: none here.
inline constexpr std::string_view kExecutableSuffix = "";
inline constexpr std::string_view kLoginWindowTitle = "Orvane 서버 로그인";
inline constexpr std::string_view kStatusUpdating = "업데이트중...";
inline constexpr std::string_view kStatusComplete = "업데이트 완료";
inline constexpr std::string_view kFinishText = "업데이트가 완료되었습니다.\n다시 로그인 하세요.";
inline constexpr std::string_view kFinishCaption = "Update Complete";
// Why nothing was installed: in the status line and in a message captioned kNoticeCaption.
inline constexpr std::string_view kNoticeCaption = "Zentrel";
inline constexpr std::string_view kStatusSwitchedOff =
    "업데이트 꺼짐: 게시자 키 없이 만든 프로그램입니다";
inline constexpr std::string_view kStatusPackageManaged =
    "패키지 관리자가 관리하는 프로그램입니다: 패키지로 업데이트하세요";
inline constexpr std::string_view kStatusNothingOffered =
    "받을 업데이트가 없습니다: 기존 프로그램을 시작합니다";
inline constexpr std::string_view kStatusBadSignature =
    "서명 확인 실패: 기존 프로그램을 유지합니다";
inline constexpr std::string_view kStatusOlderRelease =
    "이전 릴리스는 설치하지 않습니다: 기존 프로그램을 유지합니다";
inline constexpr std::string_view kStatusKeptOld = "업데이트 실패: 기존 프로그램을 유지합니다";
inline constexpr std::string_view kStatusNotExecutable =
    "이 컴퓨터용 프로그램이 아닙니다: 기존 프로그램을 유지합니다";
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
  // Flushes to disk and closes; false when any byte may be missing.
  virtual bool Close() = 0;
};

struct TempFile {
  std::filesystem::path path;
  std::unique_ptr<OutputFile> file;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool Exists(const std::filesystem::path& path) = 0;
  virtual bool Remove(const std::filesystem::path& path) = 0;
  virtual bool Writable(const std::filesystem::path& folder) = 0;
  // A new file of a name no other file has, in `folder`, starting with `prefix`.
  virtual std::optional<TempFile> CreateTemp(const std::filesystem::path& folder,
                                             const std::string& prefix) = 0;
  // Up to `limit` + 1 bytes, so that a longer file shows as too long.
  virtual std::optional<std::string> ReadSmall(const std::filesystem::path& path,
                                               std::size_t limit) = 0;
  // Atomically puts `from` in place of `to`, with run permission when `executable`.
  virtual bool Install(const std::filesystem::path& from, const std::filesystem::path& to,
                       bool executable) = 0;
};

class LocalFileSystem : public FileSystem {
 public:
  bool Exists(const std::filesystem::path& path) override;
  bool Remove(const std::filesystem::path& path) override;
  bool Writable(const std::filesystem::path& folder) override;
  std::optional<TempFile> CreateTemp(const std::filesystem::path& folder,
                                     const std::string& prefix) override;
  std::optional<std::string> ReadSmall(const std::filesystem::path& path,
                                       std::size_t limit) override;
  bool Install(const std::filesystem::path& from, const std::filesystem::path& to,
               bool executable) override;
};

struct UpdaterConfig {
  std::string updateHost{kDefaultUpdateHost};
  // The program folder: the new program is written there and started from there.
  std::filesystem::path workDir;
  // The publisher's key; without one, updates are switched off.
  std::optional<PublicKey> publicKey;
  std::chrono::milliseconds windowPoll{100};
};

enum class UpdateOutcome {
  kInstalled,
  kSwitchedOff,     // built without a publisher key: nothing is fetched
  kPackageManaged,  // the program folder is not ours to write
  kNothingOffered,  // no listing, or no entry for the program in it
  kBadSignature,    // manifest missing, unsigned, badly signed or malformed, or the file differs
  kOlderRelease,    // a signed manifest older than the installed program
  kFailed,          // transfer cut, wrong length, error page, full disk
  kNotExecutable,   // signed and whole, but not a program for this machine
  kStopped,
};

struct UpdateReport {
  UpdateOutcome outcome = UpdateOutcome::kStopped;
};

// The status text of an outcome; empty for a stop.
std::string_view OutcomeText(UpdateOutcome outcome);

// The worker's whole run: wait for the login window to go, then fetch and check the signed
// manifest and the program it describes. Whatever goes wrong, the program folder keeps the bytes
// it had and nothing is left beside them.
class Updater {
 public:
  Updater(UpdaterConfig config, HttpClient& http, WindowProbe* probe, FileSystem& files,
          UiSink& ui);

  UpdateReport Run(std::stop_token stop);
  std::string ListingUrl() const;

 private:
  UpdateOutcome Update(std::stop_token stop);
  UpdateOutcome Download(const std::string& entry, const Manifest& manifest, std::stop_token stop);
  UpdateOutcome Receive(const std::string& entry, const Manifest& manifest, OutputFile& out,
                        std::stop_token stop);
  std::uint64_t InstalledRelease();
  void RecordInstalled(const std::string& manifestText);
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

// Tells the member what happened (the finish message only after an install), then starts the
// program folder's program. Returns true when it was started.
bool FinishUpdate(const UpdateReport& report, const std::filesystem::path& workDir,
                  const FinishHooks& hooks);

}  // namespace zentrel
