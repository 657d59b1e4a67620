#include "server/path_guard.h"

#include <algorithm>

namespace orvane::server {

namespace fs = std::filesystem;

bool IsInside(const fs::path& root, const fs::path& path) {
  auto r = root.begin();
  auto p = path.begin();
  for (; r != root.end(); ++r, ++p) {
    // A trailing separator of root shows up as an empty last element.
    if (r->empty() && std::next(r) == root.end()) break;
    if (p == path.end() || *r != *p) return false;
  }
  return p != path.end();
}

std::optional<fs::path> ResolveUnderRoot(const fs::path& root, std::string_view requestPath) {
  if (requestPath.empty() || requestPath.front() != '/') return std::nullopt;
  if (requestPath.find_first_of(std::string_view("\\\0", 2)) != std::string_view::npos) {
    return std::nullopt;
  }
  fs::path candidate = root;
  std::size_t start = 1;
  while (start <= requestPath.size()) {
    const std::size_t slash = std::min(requestPath.find('/', start), requestPath.size());
    const std::string_view segment = requestPath.substr(start, slash - start);
    if (!segment.empty()) {
      if (segment.front() == '.') return std::nullopt;
      candidate /= fs::path(std::string(segment));
    }
    start = slash + 1;
  }
  std::error_code ec;
  const fs::path real = fs::canonical(candidate, ec);
  if (ec || !IsInside(root, real)) return std::nullopt;
  if (!fs::is_regular_file(real, ec) || ec) return std::nullopt;
  return real;
}

}  // namespace orvane::server
