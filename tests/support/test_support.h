#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace orvane::test {

// A fresh folder under the system's temporary folder, removed again at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The sample catalogue, generated once per test run.
const std::filesystem::path& SampleRoot();

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::filesystem::path ServerBinary();

// orvane-server started as a child process on ephemeral loopback ports, with a member database
// of its own.
class ServerProcess {
 public:
  explicit ServerProcess(std::vector<std::string> args);
  // Serving a content root on an ephemeral HTTP port.
  explicit ServerProcess(const std::filesystem::path& root);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  bool started() const { return port_ > 0; }
  int port() const { return port_; }
  std::string Url(const std::string& path) const;
  // Where the series files and menu lists are.
  std::string BaseUrl() const { return Url("/orvane_data"); }
  std::string Output() const;
  // Sends SIGTERM and waits; the exit status, or -1 when it did not end within the time.
  int Stop(std::chrono::milliseconds wait = std::chrono::seconds(5));

 private:
  TempDir state_;
  pid_t pid_ = -1;
  int port_ = 0;
  std::filesystem::path log_;
};

// Runs a program to its end; its exit status and what it printed.
int RunProgram(const std::vector<std::string>& args, std::string* output);

// A one-shot raw HTTP exchange: sends request bytes, returns all bytes until the peer closes.
std::string RawExchange(int port, const std::string& request,
                        std::chrono::milliseconds timeout = std::chrono::seconds(5));

// A scripted TCP peer on loopback: each accepted connection is handed to the script with its
// socket, after the request head has been read (when readRequest is set). A script that waits
// should return once stopping is set.
class FakeServer {
 public:
  using Script = std::function<void(int socket, const std::atomic<bool>& stopping)>;
  explicit FakeServer(Script script, bool readRequest = true);
  ~FakeServer();
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  int port() const { return port_; }
  std::string Url(const std::string& path) const;

 private:
  int listener_ = -1;
  int port_ = 0;
  bool readRequest_;
  Script script_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

void SendAll(int socket, const std::string& bytes);
// Blocks until stopping is set.
void WaitForStop(const std::atomic<bool>& stopping);

}  // namespace orvane::test
