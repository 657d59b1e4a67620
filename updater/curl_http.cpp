#include "updater/curl_http.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>

namespace zentrel {

namespace {

// How long one wait for socket activity lasts, so that a stop request is seen promptly.
constexpr int kPollMs = 100;

class CurlStream final : public HttpStream {
 public:
  explicit CurlStream(std::stop_token stop) : stop_(std::move(stop)) {}

  ~CurlStream() override {
    if (multi_ != nullptr && easy_ != nullptr) curl_multi_remove_handle(multi_, easy_);
    if (easy_ != nullptr) curl_easy_cleanup(easy_);
    if (multi_ != nullptr) curl_multi_cleanup(multi_);
  }

  bool Start(const std::string& url, const CurlOptions& options) {
    multi_ = curl_multi_init();
    easy_ = curl_easy_init();
    if (multi_ == nullptr || easy_ == nullptr) return false;
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, options.agent.c_str());
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    // Direct access: no proxy from the environment.
    curl_easy_setopt(easy_, CURLOPT_PROXY, "");
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(options.connectTimeout.count()));
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME,
                     static_cast<long>(std::max<std::int64_t>(1, options.stallTimeout.count())));
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlStream::OnHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlStream::OnBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return false;
    while (!headersDone_ && !done_ && !stop_.stop_requested()) {
      Perform();
      if (!headersDone_ && !done_) Poll();
    }
    if (stop_.stop_requested() || (!headersDone_ && result_ != CURLE_OK)) return false;
    long status = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
    status_ = static_cast<int>(status);
    curl_off_t length = -1;
    if (curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        length >= 0)
      length_ = static_cast<std::uint64_t>(length);
    return true;
  }

  std::size_t Read(char* buffer, std::size_t capacity) override {
    while (offset_ == body_.size() && !done_ && !stop_.stop_requested()) {
      body_.clear();
      offset_ = 0;
      Perform();
      if (body_.empty() && !done_) Poll();
    }
    if (stop_.stop_requested()) return 0;
    const std::size_t n = std::min(capacity, body_.size() - offset_);
    std::memcpy(buffer, body_.data() + offset_, n);
    offset_ += n;
    return n;
  }

  std::optional<std::uint64_t> ContentLength() const override { return length_; }
  int Status() const override { return status_; }
  bool Completed() const override {
    return done_ && result_ == CURLE_OK && !stop_.stop_requested();
  }

 private:
  void Perform() {
    int running = 0;
    curl_multi_perform(multi_, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
      if (message->msg == CURLMSG_DONE) {
        done_ = true;
        result_ = message->data.result;
      }
    }
  }

  void Poll() { curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr); }

  static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto* stream = static_cast<CurlStream*>(self);
    const std::size_t n = size * count;
    const std::string_view line(data, n);
    if (line == "\r\n" || line == "\n") {
      long status = 0;
      curl_easy_getinfo(stream->easy_, CURLINFO_RESPONSE_CODE, &status);
      // Interim and redirect answers are followed by the real one.
      if (status >= 200 && !(status >= 300 && status < 400)) stream->headersDone_ = true;
    }
    return n;
  }

  static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto* stream = static_cast<CurlStream*>(self);
    const std::size_t n = size * count;
    if (stream->stop_.stop_requested()) return 0;  // aborts the transfer
    stream->headersDone_ = true;
    stream->body_.append(data, n);
    return n;
  }

  std::stop_token stop_;
  CURLM* multi_ = nullptr;
  CURL* easy_ = nullptr;
  bool headersDone_ = false;
  bool done_ = false;
  CURLcode result_ = CURLE_OK;
  int status_ = 0;
  std::optional<std::uint64_t> length_;
  std::string body_;
  std::size_t offset_ = 0;
};

}  // namespace

CurlHttpClient::CurlHttpClient(CurlOptions options) : options_(std::move(options)) {}

std::unique_ptr<HttpStream> CurlHttpClient::Open(const std::string& url, std::stop_token stop) {
  auto stream = std::make_unique<CurlStream>(std::move(stop));
  if (!stream->Start(url, options_)) return nullptr;
  return stream;
}

}  // namespace zentrel
