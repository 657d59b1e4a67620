#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "views/menu_grid.h"

namespace orvane::views::testing {

// The reference service's sample catalogue, written once per test run into a temporary folder.
const std::filesystem::path& SampleRoot();

inline constexpr char kTestBaseUrl[] = "http://content.test/orvane_data";

// Serves menu lists straight from the sample root for URLs under kTestBaseUrl and records every
// URL asked for.
struct SampleFetcher {
  std::vector<std::string> asked;
  ListFetcher Fetcher();
};

// The reference service run as its own process on an ephemeral loopback port.
class ServerProcess {
 public:
  ServerProcess() = default;
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;
  ~ServerProcess();

  bool Start(const std::filesystem::path& root);
  int Port() const { return port_; }
  std::string BaseUrl() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace orvane::views::testing
