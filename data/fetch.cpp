#include "data/fetch.h"

#include <curl/curl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

namespace orvane {
namespace {

constexpr const char* kAgent = "GetChartData";
constexpr long kBufferSize = 1024;
constexpr long kMaxRedirects = 5;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// The temporary file: removed again unless Keep() was called.
class TempFile {
 public:
  explicit TempFile(std::string pattern) : path_(std::move(pattern)) {
    const int fd = ::mkstemp(path_.data());
    if (fd < 0) {
      path_.clear();
      return;
    }
    ::fchmod(fd, 0644);
    file_.reset(::fdopen(fd, "wb"));
    if (!file_) ::close(fd);
  }
  ~TempFile() {
    file_.reset();
    if (!kept_ && !path_.empty()) std::remove(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::FILE* file() const { return file_.get(); }
  // Flushes and closes; true when every byte reached the file.
  bool Close() {
    if (!file_) return false;
    const bool flushed = std::fflush(file_.get()) == 0;
    return std::fclose(file_.release()) == 0 && flushed;
  }
  bool MoveTo(const std::string& target) {
    if (std::rename(path_.c_str(), target.c_str()) != 0) return false;
    kept_ = true;
    return true;
  }

 private:
  std::string path_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  bool kept_ = false;
};

struct Transfer {
  std::FILE* file = nullptr;
  bool writeFailed = false;
  bool tooLarge = false;
  std::uint64_t written = 0;
  std::uint64_t maxBytes = 0;
  curl_off_t lastBytes = 0;
  std::chrono::steady_clock::time_point lastProgress;
  std::chrono::milliseconds stallTimeout{};
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  // Bodies without a Content-Length are only known to be too large once they are.
  if (bytes > transfer->maxBytes - transfer->written) {
    transfer->tooLarge = true;
    return 0;
  }
  transfer->written += bytes;
  if (std::fwrite(data, 1, bytes, transfer->file) != bytes) {
    transfer->writeFailed = true;
    return 0;
  }
  return bytes;
}

// Counts time without a new byte; returning non-zero aborts the transfer.
int CheckStall(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) {
  auto* transfer = static_cast<Transfer*>(user);
  const auto now = std::chrono::steady_clock::now();
  if (received != transfer->lastBytes) {
    transfer->lastBytes = received;
    transfer->lastProgress = now;
    return 0;
  }
  return now - transfer->lastProgress > transfer->stallTimeout ? 1 : 0;
}

bool FileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

FetchResult Download(std::string_view url, const std::string& target, std::uint64_t maxBytes,
                     const FetchOptions& options) {
  InitCurlOnce();
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return FetchResult::TransferFailed;

  // Same folder as the target, so the final rename never crosses file systems.
  TempFile temp(target + ".partXXXXXX");
  if (temp.file() == nullptr) return FetchResult::WriteFailed;

  Transfer transfer;
  transfer.file = temp.file();
  transfer.lastProgress = std::chrono::steady_clock::now();
  transfer.stallTimeout = options.stallTimeout;
  transfer.maxBytes = maxBytes;

  const std::string urlText(url);
  CURL* h = curl.get();
  curl_easy_setopt(h, CURLOPT_URL, urlText.c_str());
  curl_easy_setopt(h, CURLOPT_USERAGENT, kAgent);
  curl_easy_setopt(h, CURLOPT_PROXY, "");
  curl_easy_setopt(h, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kBufferSize);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeout.count()));
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, CheckStall);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
  // Refuses at once when the announced length is over the limit.
  curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));

  const CURLcode code = curl_easy_perform(h);
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);

  if (transfer.writeFailed) return FetchResult::WriteFailed;
  if (status >= 200 && status <= 299 && (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED)) {
    return FetchResult::TooLarge;
  }
  if (code != CURLE_OK) return FetchResult::TransferFailed;
  if (status < 200 || status > 299) return FetchResult::HttpError;
  if (!temp.Close()) return FetchResult::WriteFailed;
  if (!temp.MoveTo(target)) return FetchResult::WriteFailed;
  return FetchResult::Ok;
}

}  // namespace

std::uint64_t FetchLimitFor(std::string_view fileName) {
  const std::size_t dot = fileName.rfind('.');
  std::string ext(dot == std::string_view::npos ? std::string_view() : fileName.substr(dot + 1));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "bmp" || ext == "png" || ext == "jpg" || ext == "jpeg" || ext == "gif") {
    return kMaxPictureBytes;
  }
  if (ext == "html" || ext == "htm") return kMaxPageBytes;
  return kMaxSeriesBytes;
}

bool IsSafeFileName(std::string_view fileName) {
  if (fileName.empty() || fileName == "." || fileName == "..") return false;
  return fileName.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

FetchResult FetchFile(std::string_view url, std::string_view fileName, std::string_view cacheDir,
                      const FetchOptions& options) {
  if (!IsSafeFileName(fileName)) return FetchResult::UnsafeName;
  const std::string target = std::string(cacheDir) + std::string(fileName);

  // An old copy stays until the outcome is known: a body over the limit must not cost it.
  const bool hadCopy = FileExists(target);
  if (hadCopy && options.replacePause.count() > 0) {
    std::this_thread::sleep_for(options.replacePause);
  }
  const FetchResult result =
      Download(url, target, options.maxBytes.value_or(FetchLimitFor(fileName)), options);
  if (hadCopy && result != FetchResult::Ok && result != FetchResult::TooLarge) {
    std::remove(target.c_str());
  }
  return result;
}

}  // namespace orvane
