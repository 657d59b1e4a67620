// The update folder listing and the update host: plain text rules, no outside services.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zentrel {

inline constexpr std::string_view kDefaultUpdateHost = "127.0.0.1:8080";
inline constexpr std::string_view kDefaultUpdatePort = "8080";

// The entry names of a folder listing: everything up to and including the first "<br>" is
// dropped, then each piece ending in "</A>" gives the text after its last ">".
std::vector<std::string> ParseListing(std::string_view listing);

// The line reader joins the page's lines without separators.
std::string JoinLines(std::string_view page);

// "HOST[:PORT]" -> "HOST:PORT"; a missing port is the reference service's HTTP port.
std::string NormaliseHost(std::string_view host);

// "--update-host HOST[:PORT]" (or "=HOST") wins over ORVANE_UPDATE_HOST (HOST[:PORT]), which
// wins over the host of ORVANE_LOGIN_HOST: the login port given there is a UDP port, so only the
// host is taken. The rest of the command line, the main program's token included, is ignored.
std::string ResolveUpdateHost(const std::vector<std::string>& args, const char* updateHostEnv,
                              const char* loginHostEnv);

}  // namespace zentrel
