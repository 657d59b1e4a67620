#include <fmt/format.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "server/content_service.h"
#include "server/login_service.h"
#include "server/options.h"
#include "server/sample/sample_catalogue.h"

namespace {

using orvane::server::ServerOptions;

std::mutex logMutex;

void LogLine(const std::string& line) {
  std::lock_guard lock(logMutex);
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

int MakeSample(const ServerOptions& options) {
  std::string error;
  const auto stats = orvane::server::MakeSampleCatalogue(options.makeSample, error);
  if (!stats) {
    std::fprintf(stderr, "orvane-server: %s\n", error.c_str());
    return 1;
  }
  LogLine(fmt::format("sample catalogue in {}: {} menu lists, {} series files, {} bytes",
                      options.makeSample.string(), stats->menuLists, stats->seriesFiles,
                      stats->bytes));
  return 0;
}

int Serve(const ServerOptions& options) {
  // Signals are taken by sigwait below, never by a service thread.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  std::string error;
  std::optional<orvane::server::ContentService> content;
  if (options.http) {
    content.emplace(orvane::server::ContentServiceConfig{
        options.listen, options.httpPort, options.root, options.EffectiveUpdateDir(), LogLine});
    if (!content->Bind(error)) {
      std::fprintf(stderr, "orvane-server: %s\n", error.c_str());
      return 1;
    }
    LogLine(fmt::format("http listening on {}:{} root {}", options.listen, content->port(),
                        options.root.string()));
  }

  // Serving starts at once: the login service takes a while to start (it hashes once).
  std::atomic<bool> failed{false};
  std::vector<std::thread> threads;
  if (content) {
    threads.emplace_back([&content, &failed] {
      if (!content->Run()) {
        failed = true;
        // Wakes the sigwait below so the whole process ends.
        ::kill(::getpid(), SIGUSR1);
      }
    });
  }

  orvane::server::LoginServiceOptions loginOptions;
  loginOptions.databasePath = options.database.string();
  loginOptions.bindAddress = options.listen;
  loginOptions.udpPort = static_cast<std::uint16_t>(options.udpPort);
  loginOptions.clientVersion = options.clientVersion;
  loginOptions.log = LogLine;
  orvane::server::LoginService login(loginOptions);
  if (!login.Start()) {
    std::fprintf(stderr, "orvane-server: %s\n", login.Error().c_str());
    if (content) content->Stop();
    for (std::thread& t : threads) t.join();
    return 1;
  }
  // A connection URI may hold a password: it is not printed.
  const std::string members = orvane::server::IsPostgresLocation(options.database.string())
                                  ? std::string("in PostgreSQL")
                                  : options.database.string();
  LogLine(fmt::format("login listening on UDP {}:{} members {}", options.listen, login.Port(),
                      members));

  int received = 0;
  sigwait(&signals, &received);
  LogLine(received == SIGUSR1 ? "a service failed; stopping" : "stopping");
  if (content) content->Stop();
  login.Stop();
  for (std::thread& t : threads) t.join();
  LogLine("stopped");
  return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  const auto parsed = orvane::server::ParseServerOptions(args);
  if (!parsed.options) {
    std::fprintf(stderr, "orvane-server: %s\n%s", parsed.error.c_str(),
                 orvane::server::ServerUsage().c_str());
    return 2;
  }
  const ServerOptions& options = *parsed.options;
  if (options.help) {
    std::fputs(orvane::server::ServerUsage().c_str(), stdout);
    return 0;
  }
  if (!options.makeSample.empty()) return MakeSample(options);
  return Serve(options);
}
