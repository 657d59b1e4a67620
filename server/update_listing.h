#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvane::server {

inline constexpr std::string_view kUpdatePath = "/UpdateFiles/";

// The folder listing page of the update folder: header text, then the first "<br>", then one
// entry per file, each "<A HREF="/UpdateFiles/NAME">NAME</A><br>", in name order. The updater
// takes each entry's name from after the last ">" before "</A>", so only names that need no
// escaping are listed. A missing folder lists nothing. The folder holds what the publisher put
// there: the program, its manifest and the manifest's signature, all served as stored.
std::string BuildUpdateListing(const std::filesystem::path& dir);

// Letters, digits and "._-+", not starting with ".".
bool IsListableName(std::string_view name);

}  // namespace orvane::server
