#include "server/update_listing.h"

#include <fmt/format.h>

#include "server/path_guard.h"

#include <algorithm>
#include <vector>

namespace orvane::server {

namespace fs = std::filesystem;

bool IsListableName(std::string_view name) {
  if (name.empty() || name.front() == '.') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-' || c == '+';
  });
}

std::string BuildUpdateListing(const fs::path& dir) {
  struct Entry {
    std::string name;
    std::uintmax_t size;
  };
  std::vector<Entry> entries;
  std::error_code ec;
  const fs::path root = fs::canonical(dir, ec);
  for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    // Only what a GET of the entry would deliver: no links leading out of the folder.
    if (!IsListableName(name)) continue;
    const auto file = ResolveUnderRoot(root, "/" + name);
    std::error_code sizeEc;
    if (!file) continue;
    entries.push_back({name, fs::file_size(*file, sizeEc)});
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });

  std::string page = fmt::format(
      "<html><head><meta charset=\"utf-8\"><title>{0}</title></head>\r\n"
      "<body><h1>{0}</h1><hr>\r\n<pre><br>\r\n",
      kUpdatePath);
  for (const Entry& e : entries) {
    page +=
        fmt::format("{:>12} <A HREF=\"{}{}\">{}</A><br>\r\n", e.size, kUpdatePath, e.name, e.name);
  }
  page += "</pre><hr></body></html>\r\n";
  return page;
}

}  // namespace orvane::server
