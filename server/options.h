#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvane::server {

// Every service of the reference server takes its settings from this one set.
struct ServerOptions {
  std::string listen = "127.0.0.1";
  bool http = true;     // false: logins only
  int httpPort = 8080;  // 0: any free port, printed on start
  std::filesystem::path root = "sample-root";
  std::filesystem::path updateDir;   // empty: root / "UpdateFiles"
  std::filesystem::path makeSample;  // set: write the sample catalogue there and exit
  int udpPort = 10003;               // login service; 0: any free port, printed on start
  // Kept outside the served root, so the member database is never downloadable; or a
  // PostgreSQL connection URI.
  std::filesystem::path database = "orvane_members.db";
  std::string clientVersion = "Ver.1.0.1";  // logins from any other version get "VerDiff"
  bool help = false;

  std::filesystem::path EffectiveUpdateDir() const;
};

struct ParsedOptions {
  std::optional<ServerOptions> options;  // nothing when the arguments are wrong
  std::string error;
};

// Arguments without the program name; "--name VALUE" and "--name=VALUE" both work.
ParsedOptions ParseServerOptions(std::span<const std::string_view> args);
std::string ServerUsage();

}  // namespace orvane::server
