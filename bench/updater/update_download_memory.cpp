// Peak memory of Zentrel's download path for a large signed update: a loopback service in a
// child process streams a 300 MiB program (made on the fly), this process runs the real updater
// (curl, hashing, temporary file, rename) into a fresh folder and prints its own peak resident
// size before and after. Usage: update_download_memory [MiB]
#include <httplib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "updater/curl_http.h"
#include "updater/zentrel_core.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHead = "#!/bin/sh\nexit 0\n";
constexpr std::size_t kBlock = std::size_t{64} * 1024;

// Byte `offset` onward of the program: the script line, then zeros.
std::size_t Fill(std::size_t offset, char* out, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i)
    out[i] = offset + i < kHead.size() ? kHead[offset + i] : '\0';
  return size;
}

long PeakKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

class NullSink final : public zentrel::UiSink {
 public:
  void SetStatus(std::string_view) override {}
  void SetProgress(int) override {}
};

}  // namespace

int main(int argc, char** argv) {
  const std::size_t total = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 300) << 20;
  const std::optional<zentrel::KeyPair> keys = zentrel::GenerateKeyPair();
  if (!keys) return 1;
  zentrel::Manifest manifest{"Orvane", "Ver.9.9.9", 1, total, {}};
  zentrel::Sha256 hash;
  std::string block(kBlock, '\0');
  for (std::size_t at = 0; at < total; at += kBlock) {
    const std::size_t n = std::min(kBlock, total - at);
    hash.Update(block.data(), Fill(at, block.data(), n));
  }
  manifest.sha256 = hash.Final();
  const std::string text = zentrel::FormatManifest(manifest);
  const std::string signature = *zentrel::Sign(text, keys->secretKey);

  int ports[2];
  if (pipe(ports) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    httplib::Server server;
    server.Get("/UpdateFiles/", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<br><A HREF=\"/UpdateFiles/Orvane\">Orvane</A><br>", "text/html");
    });
    server.Get("/UpdateFiles/Orvane.manifest",
               [&](const httplib::Request&, httplib::Response& res) {
                 res.set_content(text, "text/plain");
               });
    server.Get("/UpdateFiles/Orvane.manifest.sig",
               [&](const httplib::Request&, httplib::Response& res) {
                 res.set_content(signature, "application/octet-stream");
               });
    server.Get("/UpdateFiles/Orvane", [&](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(total, "application/octet-stream",
                               [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                 static std::string out(kBlock, '\0');
                                 const std::size_t n = std::min(kBlock, length);
                                 return sink.write(out.data(), Fill(offset, out.data(), n));
                               });
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    if (write(ports[1], &port, sizeof port) != sizeof port) _exit(1);
    server.listen_after_bind();
    _exit(0);
  }
  int port = 0;
  if (read(ports[0], &port, sizeof port) != sizeof port || port <= 0) return 1;

  const fs::path folder =
      fs::temp_directory_path() / ("zentrel-memory-" + std::to_string(getpid()));
  fs::create_directories(folder);
  zentrel::UpdaterConfig config;
  config.updateHost = "127.0.0.1:" + std::to_string(port);
  config.workDir = folder;
  config.publicKey = keys->publicKey;
  zentrel::CurlHttpClient http;
  zentrel::LocalFileSystem files;
  NullSink sink;
  zentrel::Updater updater(config, http, nullptr, files, sink);
  const long before = PeakKb();
  const auto started = std::chrono::steady_clock::now();
  const zentrel::UpdateOutcome outcome = updater.Run({}).outcome;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const long after = PeakKb();
  std::error_code ec;
  const std::uintmax_t installed = fs::file_size(folder / "Orvane", ec);
  fs::remove_all(folder, ec);
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  std::printf("%zu MiB signed update: %s, %ju bytes installed in %.1f s\n", total >> 20,
              outcome == zentrel::UpdateOutcome::kInstalled ? "installed" : "NOT installed",
              installed, seconds);
  std::printf("peak resident size: %.1f MB before the download, %.1f MB after it\n",
              before / 1024.0, after / 1024.0);
  return outcome == zentrel::UpdateOutcome::kInstalled ? 0 : 1;
}
