#include "tests/views/sample_root.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "server/sample/sample_catalogue.h"

namespace orvane::views::testing {
namespace {

struct SampleFolder {
  std::filesystem::path root;
  SampleFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "orvane-views-sample-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    root = pattern;
    std::string error;
    if (!server::MakeSampleCatalogue(root, error)) std::abort();
  }
  ~SampleFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
};

}  // namespace

const std::filesystem::path& SampleRoot() {
  static const SampleFolder folder;
  return folder.root;
}

ListFetcher SampleFetcher::Fetcher() {
  return [this](const std::string& url) -> std::optional<std::string> {
    asked.push_back(url);
    const std::string base = kTestBaseUrl;
    if (!url.starts_with(base)) return std::nullopt;
    std::ifstream in(SampleRoot() / "orvane_data" / url.substr(base.size() + 1), std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
  };
}

ServerProcess::~ServerProcess() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}

bool ServerProcess::Start(const std::filesystem::path& root) {
  // The log goes to a file: a closed pipe would end the service at its next log line.
  const std::filesystem::path log = root / "server.log";
  const std::string program = std::string(ORVANE_BINARY_DIR) + "/server/orvane-server";
  const std::string rootText = root.string();
  const std::string dbText = (root / "members.db").string();
  pid_ = ::fork();
  if (pid_ == 0) {
    if (std::freopen(log.c_str(), "w", stdout) == nullptr) ::_exit(126);
    ::execl(program.c_str(), program.c_str(), "--root", rootText.c_str(), "--http-port", "0",
            "--udp-port", "0", "--db", dbText.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  if (pid_ < 0) return false;
  // The first line names the port: "http listening on 127.0.0.1:PORT root ...".
  const std::string marker = "http listening on 127.0.0.1:";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(log);
    std::string line;
    if (std::getline(in, line) && line.starts_with(marker)) {
      port_ = std::atoi(line.c_str() + marker.size());
      return port_ > 0;
    }
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    ::usleep(20000);
  }
  return false;
}

std::string ServerProcess::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/orvane_data";
}

}  // namespace orvane::views::testing
