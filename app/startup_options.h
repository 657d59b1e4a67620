#pragma once

#include <span>
#include <string>
#include <string_view>

#include "data/content_host.h"

namespace orvane::app {

inline constexpr std::string_view kDefaultLoginHost = "127.0.0.1";
inline constexpr std::string_view kLoginHostEnv = "ORVANE_LOGIN_HOST";
inline constexpr std::string_view kLoginHostOption = "--login-host";

// What the client's command line and environment decide before anything else runs.
struct StartupOptions {
  HostPort contentHost;
  HostPort loginHost;
  bool help = false;
  bool version = false;
  std::string error;  // set when the arguments are wrong; the program then stops with usage
};

// Arguments without the program name. A host option beats its environment variable, which beats
// the built-in default; the login port is 10003 unless given.
StartupOptions ParseStartupOptions(std::span<const std::string_view> args,
                                   std::string_view contentHostEnv, std::string_view loginHostEnv);

std::string StartupUsage();

}  // namespace orvane::app
