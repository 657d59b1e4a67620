// The update folder listing and the update host: plain text rules, no outside services.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zentrel {

// The client's built-in content server: the reference service's HTTP port.
inline constexpr std::string_view kDefaultUpdateHost = "127.0.0.1:8080";

// The entry names of a folder listing: everything up to and including the first "<br>" is
// dropped, then each piece ending in "</A>" gives the text after its last ">".
std::vector<std::string> ParseListing(std::string_view listing);

// The line reader joins the page's lines without separators.
std::string JoinLines(std::string_view page);

// The HTTP server whose "/UpdateFiles/" Zentrel reads, as "HOST[:PORT]" (no port: HTTP's own, 80).
// "--update-host HOST[:PORT]" (or "=HOST") wins over ORVANE_UPDATE_HOST, which wins over
// ORVANE_CONTENT_HOST: the content server the client was started with, which it passes on and
// which serves the update folder in every deployment. Next comes the host part of
// ORVANE_LOGIN_HOST (its port is the UDP login port), then the client's built-in default. The
// rest of the command line, the main program's token included, is ignored.
struct UpdateHostSources {
  const char* updateHost = nullptr;
  const char* contentHost = nullptr;
  const char* loginHost = nullptr;
};
std::string ResolveUpdateHost(const std::vector<std::string>& args,
                              const UpdateHostSources& environment);

}  // namespace zentrel
