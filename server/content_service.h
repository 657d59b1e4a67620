#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace orvane::server {

class BoundedHttpServer;

struct ContentServiceConfig {
  std::string listen = "127.0.0.1";
  int port = 8080;  // 0: any free port
  std::filesystem::path root;
  std::filesystem::path updateDir;
  // Receives one line per request (without line end); may be called from several threads.
  std::function<void(const std::string&)> log;
};

// The HTTP content service: the files of the data root as stored, GET and HEAD only, and the
// listing of the update folder under /UpdateFiles/.
class ContentService {
 public:
  explicit ContentService(ContentServiceConfig config);
  ~ContentService();
  ContentService(const ContentService&) = delete;
  ContentService& operator=(const ContentService&) = delete;

  // Checks the root and binds the port; false with a reason in error.
  bool Bind(std::string& error);
  int port() const { return port_; }
  // Serves until Stop(); returns false when the listening loop failed.
  bool Run();
  void Stop();

 private:
  void Route();

  ContentServiceConfig config_;
  std::filesystem::path root_;  // canonical
  std::unique_ptr<BoundedHttpServer> http_;
  int port_ = 0;
};

}  // namespace orvane::server
