#include "fakes.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zentrel::testing {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string Listing(const std::vector<std::string>& names) {
  std::string page = "<html><head><title>UpdateFiles</title></head><body>UpdateFiles<br>\n";
  for (const std::string& name : names)
    page += "<A HREF=\"/UpdateFiles/" + name + "\">" + name + "</A><br>\n";
  return page + "</body></html>\n";
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xff);
  return bytes;
}

std::string Capture(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  std::array<char, 256> buffer{};
  while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) output += buffer.data();
  *status = ::pclose(pipe);
  return output;
}

std::string ProgramBytes(std::size_t size, unsigned seed) {
  std::string bytes = "#!/bin/sh\nexit 0\n";
  return bytes + RandomBytes(size > bytes.size() ? size - bytes.size() : 0, seed);
}

std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    files[entry.path().filename().string()] = ReadText(entry.path());
  return files;
}

std::string Publisher::ManifestFor(const std::string& body, std::uint64_t release,
                                   const std::string& program) const {
  Manifest manifest;
  manifest.program = program;
  manifest.version = "Ver.1.0.2";
  manifest.release = release;
  manifest.length = body.size();
  Sha256 hash;
  hash.Update(body.data(), body.size());
  manifest.sha256 = hash.Final();
  return FormatManifest(manifest);
}

FakeResponse FakeResponse::Body(const std::string& body, bool withLength) {
  FakeResponse response;
  if (withLength) response.contentLength = body.size();
  for (std::size_t at = 0; at < body.size(); at += 1000)
    response.reads.push_back(body.substr(at, 1000));
  return response;
}

namespace {

class FakeStream final : public HttpStream {
 public:
  FakeStream(FakeResponse response, std::stop_token stop)
      : response_(std::move(response)), stop_(std::move(stop)) {}
  std::size_t Read(char* buffer, std::size_t capacity) override {
    if (stop_.stop_requested()) return 0;
    if (next_ == response_.reads.size()) return 0;
    std::string& piece = response_.reads[next_];
    const std::size_t n = std::min(capacity, piece.size());
    std::copy_n(piece.data(), n, buffer);
    piece.erase(0, n);
    if (piece.empty()) ++next_;
    return n;
  }
  std::optional<std::uint64_t> ContentLength() const override { return response_.contentLength; }
  int Status() const override { return response_.status; }
  bool Completed() const override { return response_.completes && next_ == response_.reads.size(); }

 private:
  FakeResponse response_;
  std::stop_token stop_;
  std::size_t next_ = 0;
};

}  // namespace

void FakeHttp::Add(const std::string& url, FakeResponse response) {
  std::lock_guard lock(mutex_);
  answers_[url].push_back(std::move(response));
}

std::unique_ptr<HttpStream> FakeHttp::Open(const std::string& url, std::stop_token stop) {
  std::lock_guard lock(mutex_);
  ++requests_[url];
  auto found = answers_.find(url);
  if (found == answers_.end()) return nullptr;
  FakeResponse response = found->second.front();
  if (found->second.size() > 1) found->second.pop_front();
  return std::make_unique<FakeStream>(std::move(response), std::move(stop));
}

int FakeHttp::Requests(const std::string& url) const {
  std::lock_guard lock(mutex_);
  auto found = requests_.find(url);
  return found == requests_.end() ? 0 : found->second;
}

void RecordingSink::SetStatus(std::string_view text) {
  std::lock_guard lock(mutex_);
  statuses_.emplace_back(text);
}

void RecordingSink::SetProgress(int position) {
  {
    std::lock_guard lock(mutex_);
    progress_.push_back(position);
  }
  if (onProgress) onProgress(position);
}

std::vector<std::string> RecordingSink::Statuses() const {
  std::lock_guard lock(mutex_);
  return statuses_;
}

void RecordingSink::Clear() {
  std::lock_guard lock(mutex_);
  statuses_.clear();
  progress_.clear();
}

std::vector<int> RecordingSink::Progress() const {
  std::lock_guard lock(mutex_);
  return progress_;
}

}  // namespace zentrel::testing
