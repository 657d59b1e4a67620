#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace orvane::server {

// Maps a decoded request path ("/orvane_data/10001.txt") to a regular file under root.
// Nothing when the path is not absolute, has a segment starting with "." (so "." and ".."),
// a backslash or a zero byte, names no regular file, or resolves (through symbolic links)
// to a place outside root. root must be canonical.
std::optional<std::filesystem::path> ResolveUnderRoot(const std::filesystem::path& root,
                                                      std::string_view requestPath);

// True when path lies inside root (both canonical), root itself excluded.
bool IsInside(const std::filesystem::path& root, const std::filesystem::path& path);

}  // namespace orvane::server
