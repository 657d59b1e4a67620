#include "tests/support/test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "server/sample/sample_catalogue.h"

extern char** environ;

namespace orvane::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "orvane-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

// Every test process of one build shares one generated root, named after the build time of the
// service (which links the same generator) so that a rebuilt generator never meets an old root.
// A process that loses the race to publish its copy uses the winner's.
const fs::path& SampleRoot() {
  static const fs::path root = [] {
    const auto built = fs::last_write_time(ServerBinary()).time_since_epoch().count();
    const std::string prefix = "test-sample-root-";
    const std::string name = prefix + std::to_string(static_cast<unsigned long long>(built));
    const fs::path shared = fs::path(ORVANE_BINARY_DIR) / name;
    if (fs::exists(shared / "done")) return shared;
    std::error_code ec;
    // Roots of earlier builds are of no further use.
    for (const auto& e : fs::directory_iterator(ORVANE_BINARY_DIR, ec)) {
      const std::string other = e.path().filename().string();
      if (other.starts_with(prefix) && !other.starts_with(name)) fs::remove_all(e.path(), ec);
    }
    const fs::path staging = shared.string() + ".tmp" + std::to_string(::getpid());
    std::string error;
    if (!server::MakeSampleCatalogue(staging, error)) throw std::runtime_error(error);
    WriteFile(staging / "done", "");
    fs::rename(staging, shared, ec);
    if (ec) fs::remove_all(staging, ec);
    return shared;
  }();
  return root;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

fs::path ServerBinary() { return fs::path(ORVANE_BINARY_DIR) / "server" / "orvane-server"; }

namespace {

pid_t Spawn(const std::vector<std::string>& args, const fs::path& output) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int WaitExit(pid_t pid, std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

}  // namespace

ServerProcess::ServerProcess(std::vector<std::string> args) {
  static std::atomic<int> counter{0};
  log_ = fs::temp_directory_path() /
         ("orvane-server-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".log");
  // Parallel test processes must not meet on the login port or in one database.
  args.insert(args.begin(), ServerBinary().string());
  args.insert(args.end(), {"--udp-port", "0", "--db", (state_.path() / "members.db").string()});
  pid_ = Spawn(args, log_);
  if (pid_ < 0) return;
  const std::regex ready(R"(http listening on \S+:(\d+))");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    std::smatch m;
    const std::string out = Output();
    if (std::regex_search(out, m, ready)) {
      port_ = std::stoi(m[1]);
      return;
    }
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

ServerProcess::ServerProcess(const fs::path& root)
    : ServerProcess(std::vector<std::string>{"--http-port", "0", "--root", root.string()}) {}

ServerProcess::~ServerProcess() {
  if (pid_ > 0 && Stop() < 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  std::error_code ec;
  fs::remove(log_, ec);
}

std::string ServerProcess::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string ServerProcess::Output() const { return ReadFile(log_); }

int ServerProcess::Stop(std::chrono::milliseconds wait) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  const int status = WaitExit(pid_, wait);
  if (status >= 0) pid_ = -1;
  return status;
}

int RunProgram(const std::vector<std::string>& args, std::string* output) {
  TempDir dir;
  const fs::path log = dir.path() / "out.txt";
  const pid_t pid = Spawn(args, log);
  if (pid < 0) return -1;
  const int status = WaitExit(pid, std::chrono::seconds(30));
  if (output != nullptr) *output = ReadFile(log);
  return status;
}

void SendAll(int socket, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

void WaitForStop(const std::atomic<bool>& stopping) {
  while (!stopping) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

std::string RawExchange(int port, const std::string& request, std::chrono::milliseconds timeout) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string reply;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) {
    SendAll(fd, request);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
      if (n <= 0) break;
      reply.append(buffer, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  return reply;
}

FakeServer::FakeServer(Script script, bool readRequest)
    : readRequest_(readRequest), script_(std::move(script)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) return;
  ::listen(listener_, 8);
  socklen_t len = sizeof(addr);
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] {
    while (!stopping_) {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0) continue;
      if (readRequest_) {
        std::string head;
        char c;
        while (head.find("\r\n\r\n") == std::string::npos && ::recv(client, &c, 1, 0) == 1) {
          head += c;
        }
      }
      script_(client, stopping_);
      ::close(client);
    }
  });
}

FakeServer::~FakeServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  ::close(listener_);
}

std::string FakeServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace orvane::test
