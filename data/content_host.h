#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvane {

inline constexpr std::string_view kDefaultContentHost = "127.0.0.1";
inline constexpr int kDefaultContentPort = 8080;
inline constexpr std::string_view kContentHostEnv = "ORVANE_CONTENT_HOST";
inline constexpr std::string_view kContentHostOption = "--content-host";

struct HostPort {
  std::string host;  // name or address; an IPv6 address without brackets
  int port = 0;

  // The text that goes between "http://" and the path: "host:port", "[::1]:port".
  std::string Authority() const;
  bool operator==(const HostPort&) const = default;
};

// "HOST", "HOST:PORT", "[V6]" or "[V6]:PORT"; a missing port is defaultPort. Nothing for empty
// text, a bad port (not 1 to 65535) or characters that do not belong in a host name.
std::optional<HostPort> ParseHostPort(std::string_view text, int defaultPort);

// The content server: the command-line value when it parses, else the environment's, else the
// built-in default. Either input may be empty.
HostPort ResolveContentHost(std::string_view commandLineValue, std::string_view environmentValue);

// The value of "--content-host VALUE" or "--content-host=VALUE" among the arguments (argv[0]
// excluded), empty when absent; the last occurrence wins.
std::string ContentHostArgument(int argc, const char* const* argv);

// "http://" + authority + "/orvane_data", the base of every menu list and series path.
std::string DataBaseUrl(const HostPort& contentHost);
// "http://" + authority + path, for the pictures and the world-markets page.
std::string ContentUrl(const HostPort& contentHost, std::string_view path);

}  // namespace orvane
