#include "app/startup_options.h"

#include <optional>

#include "protocol/login_protocol.h"

namespace orvane::app {
namespace {

// "--name VALUE" or "--name=VALUE"; advances i past a separate value.
std::optional<std::string_view> OptionValue(std::span<const std::string_view> args, std::size_t& i,
                                            std::string_view name, std::string& error) {
  const std::string_view arg = args[i];
  if (arg == name) {
    if (i + 1 >= args.size()) {
      error = std::string(name) + " needs HOST[:PORT]";
      return std::nullopt;
    }
    return args[++i];
  }
  if (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=') {
    return arg.substr(name.size() + 1);
  }
  return std::nullopt;
}

HostPort LoginHostFrom(std::string_view option, std::string_view env) {
  if (auto host = ParseHostPort(option, protocol::kLoginPort)) return *host;
  if (auto host = ParseHostPort(env, protocol::kLoginPort)) return *host;
  return HostPort{std::string(kDefaultLoginHost), protocol::kLoginPort};
}

}  // namespace

StartupOptions ParseStartupOptions(std::span<const std::string_view> args,
                                   std::string_view contentHostEnv, std::string_view loginHostEnv) {
  StartupOptions options;
  std::string contentValue;
  std::string loginValue;
  for (std::size_t i = 0; i < args.size() && options.error.empty(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (auto v = OptionValue(args, i, kContentHostOption, options.error)) {
      contentValue = *v;
      if (!ParseHostPort(contentValue, kDefaultContentPort)) {
        options.error = "bad " + std::string(kContentHostOption) + " value: " + contentValue;
      }
    } else if (auto v = OptionValue(args, i, kLoginHostOption, options.error)) {
      loginValue = *v;
      if (!ParseHostPort(loginValue, protocol::kLoginPort)) {
        options.error = "bad " + std::string(kLoginHostOption) + " value: " + loginValue;
      }
    } else if (options.error.empty()) {
      options.error = "unknown argument: " + std::string(arg);
    }
  }
  options.contentHost = ResolveContentHost(contentValue, contentHostEnv);
  options.loginHost = LoginHostFrom(loginValue, loginHostEnv);
  return options;
}

std::string StartupUsage() {
  return "Usage: Orvane [options]\n"
         "  --content-host HOST[:PORT]  content server (default 127.0.0.1:8080;\n"
         "                              environment ORVANE_CONTENT_HOST)\n"
         "  --login-host HOST[:PORT]    login server (default 127.0.0.1:10003;\n"
         "                              environment ORVANE_LOGIN_HOST)\n"
         "  --help                      show this text\n"
         "  --version                   print the client version\n"
         "An option beats its environment variable, which beats the default.\n";
}

}  // namespace orvane::app
