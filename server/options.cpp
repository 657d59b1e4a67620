#include "server/options.h"

#include <fmt/format.h>

#include <charconv>
#include <functional>
#include <vector>

namespace orvane::server {
namespace {

struct OptionEntry {
  std::string_view name;
  std::string_view metavar;  // empty: a flag without value
  std::string_view help;
  std::function<bool(ServerOptions&, std::string_view)> apply;
};

bool ParsePort(std::string_view text, int& port) {
  int value = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 65535) {
    return false;
  }
  port = value;
  return true;
}

const std::vector<OptionEntry>& Entries() {
  static const std::vector<OptionEntry> entries{
      {"--listen", "ADDR", "address every service listens on (default 127.0.0.1)",
       [](ServerOptions& o, std::string_view v) {
         o.listen = v;
         return !v.empty();
       }},
      {"--http-port", "N", "HTTP content port (default 8080; 0 picks a free port)",
       [](ServerOptions& o, std::string_view v) { return ParsePort(v, o.httpPort); }},
      {"--root", "DIR", "data root to serve (default ./sample-root)",
       [](ServerOptions& o, std::string_view v) {
         o.root = v;
         return !v.empty();
       }},
      {"--update-dir", "DIR", "folder listed under /UpdateFiles/ (default ROOT/UpdateFiles)",
       [](ServerOptions& o, std::string_view v) {
         o.updateDir = v;
         return !v.empty();
       }},
      {"--udp-port", "N", "UDP login port (default 10003; 0 picks a free port)",
       [](ServerOptions& o, std::string_view v) { return ParsePort(v, o.udpPort); }},
      {"--db", "FILE|URI",
       "members: an SQLite file or a postgresql:// URI, set up with a demo member when new"
       " (default orvane_members.db)",
       [](ServerOptions& o, std::string_view v) {
         o.database = v;
         return !v.empty();
       }},
      {"--client-version", "TEXT", "client version admitted without an update (default Ver.1.0.1)",
       [](ServerOptions& o, std::string_view v) {
         o.clientVersion = v;
         return !v.empty() && v.find(';') == std::string_view::npos;
       }},
      {"--no-http", "", "serve logins only (several login services sharing one database)",
       [](ServerOptions& o, std::string_view) {
         o.http = false;
         return true;
       }},
      {"--make-sample", "DIR", "write the sample catalogue into DIR and exit",
       [](ServerOptions& o, std::string_view v) {
         o.makeSample = v;
         return !v.empty();
       }},
      {"--help", "", "show this text and exit",
       [](ServerOptions& o, std::string_view) {
         o.help = true;
         return true;
       }},
  };
  return entries;
}

}  // namespace

std::filesystem::path ServerOptions::EffectiveUpdateDir() const {
  return updateDir.empty() ? root / "UpdateFiles" : updateDir;
}

ParsedOptions ParseServerOptions(std::span<const std::string_view> args) {
  ServerOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    std::optional<std::string_view> inlineValue;
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
      inlineValue = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
    }
    const OptionEntry* option = nullptr;
    for (const OptionEntry& s : Entries()) {
      if (s.name == arg) option = &s;
    }
    if (option == nullptr) return {std::nullopt, fmt::format("unknown option '{}'", args[i])};
    std::string_view value;
    if (!option->metavar.empty()) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return {std::nullopt, fmt::format("{} needs a value ({})", option->name, option->metavar)};
      }
    } else if (inlineValue) {
      return {std::nullopt, fmt::format("{} takes no value", option->name)};
    }
    if (!option->apply(options, value)) {
      return {std::nullopt, fmt::format("bad value '{}' for {}", value, option->name)};
    }
  }
  return {options, {}};
}

std::string ServerUsage() {
  std::string text =
      "Usage: orvane-server [OPTIONS]\n"
      "The Orvane reference service: serves a data root over HTTP and logins over UDP.\n\n"
      "Options:\n";
  for (const OptionEntry& s : Entries()) {
    const std::string left =
        s.metavar.empty() ? std::string(s.name) : fmt::format("{} {}", s.name, s.metavar);
    text += fmt::format("  {:<22} {}\n", left, s.help);
  }
  return text;
}

}  // namespace orvane::server
