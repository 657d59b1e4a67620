#include "data/content_host.h"

#include <charconv>

namespace orvane {
namespace {

bool IsHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

std::optional<int> ParsePort(std::string_view text) {
  int port = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (ec != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) {
    return std::nullopt;
  }
  return port;
}

}  // namespace

std::string HostPort::Authority() const {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<HostPort> ParseHostPort(std::string_view text, int defaultPort) {
  std::string_view host;
  std::string_view rest;
  if (!text.empty() && text.front() == '[') {
    const auto close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(1, close - 1);
    rest = text.substr(close + 1);
    for (char c : host) {
      const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
      if (!hex && c != ':' && c != '.') return std::nullopt;
    }
  } else {
    const auto colon = text.find(':');
    host = text.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon);
    for (char c : host) {
      if (!IsHostChar(c)) return std::nullopt;
    }
  }
  if (host.empty()) return std::nullopt;
  int port = defaultPort;
  if (!rest.empty()) {
    if (rest.front() != ':') return std::nullopt;
    const auto parsed = ParsePort(rest.substr(1));
    if (!parsed) return std::nullopt;
    port = *parsed;
  }
  return HostPort{std::string(host), port};
}

HostPort ResolveContentHost(std::string_view commandLineValue, std::string_view environmentValue) {
  if (auto fromArgs = ParseHostPort(commandLineValue, kDefaultContentPort)) return *fromArgs;
  if (auto fromEnv = ParseHostPort(environmentValue, kDefaultContentPort)) return *fromEnv;
  return HostPort{std::string(kDefaultContentHost), kDefaultContentPort};
}

std::string ContentHostArgument(int argc, const char* const* argv) {
  std::string value;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == kContentHostOption && i + 1 < argc) {
      value = argv[++i];
    } else if (arg.size() > kContentHostOption.size() && arg.starts_with(kContentHostOption) &&
               arg[kContentHostOption.size()] == '=') {
      value = arg.substr(kContentHostOption.size() + 1);
    }
  }
  return value;
}

std::string DataBaseUrl(const HostPort& contentHost) {
  return "http://" + contentHost.Authority() + "/orvane_data";
}

std::string ContentUrl(const HostPort& contentHost, std::string_view path) {
  return "http://" + contentHost.Authority() + std::string(path);
}

}  // namespace orvane
