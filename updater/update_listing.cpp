#include "updater/update_listing.h"

namespace zentrel {

std::vector<std::string> ParseListing(std::string_view listing) {
  static constexpr std::string_view kBreak = "<br>";
  static constexpr std::string_view kEntryEnd = "</A>";
  std::vector<std::string> names;
  const std::size_t brk = listing.find(kBreak);
  if (brk != std::string_view::npos) listing.remove_prefix(brk + kBreak.size());
  // Walk forward instead of erasing the front each time, so a huge listing stays linear.
  for (std::size_t end = listing.find(kEntryEnd); end != std::string_view::npos;
       end = listing.find(kEntryEnd)) {
    const std::string_view part = listing.substr(0, end);
    const std::size_t gt = part.rfind('>');
    names.emplace_back(gt == std::string_view::npos ? part : part.substr(gt + 1));
    listing.remove_prefix(end + kEntryEnd.size());
  }
  return names;
}

std::string JoinLines(std::string_view page) {
  std::string joined;
  joined.reserve(page.size());
  for (std::size_t i = 0; i < page.size(); ++i) {
    const char c = page[i];
    if (c == '\n') continue;
    if (c == '\r' && i + 1 < page.size() && page[i + 1] == '\n') continue;
    joined.push_back(c);
  }
  return joined;
}

namespace {

// The length of the host part of "HOST[:PORT]"; "[::1]:8080" keeps its brackets.
std::size_t HostLength(std::string_view text) {
  const std::size_t colon = text.rfind(':');
  const std::size_t bracket = text.rfind(']');
  const bool hasPort =
      colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket);
  return hasPort ? colon : text.size();
}

}  // namespace

std::string ResolveUpdateHost(const std::vector<std::string>& args,
                              const UpdateHostSources& environment) {
  static constexpr std::string_view kOption = "--update-host";
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == kOption && i + 1 < args.size() && !args[i + 1].empty()) return args[i + 1];
    if (arg.starts_with(kOption) && arg.size() > kOption.size() + 1 && arg[kOption.size()] == '=')
      return std::string(arg.substr(kOption.size() + 1));
  }
  const auto given = [](const char* value) { return value != nullptr && *value != '\0'; };
  if (given(environment.updateHost)) return environment.updateHost;
  if (given(environment.contentHost)) return environment.contentHost;
  if (given(environment.loginHost)) {
    const std::string_view login = environment.loginHost;
    return std::string(login.substr(0, HostLength(login)));
  }
  return std::string(kDefaultUpdateHost);
}

}  // namespace zentrel
