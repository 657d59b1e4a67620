#include "server/request_head.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <vector>

namespace orvane::server {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
    s.remove_suffix(1);
  }
  return s;
}

bool SameLetters(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

std::optional<std::uint64_t> Number(std::string_view s) {
  std::uint64_t value = 0;
  if (s.empty()) return std::nullopt;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

// True when a well-formed byte-range set is too costly to answer as ranges. Malformed sets are
// left to the HTTP library, which refuses them.
bool CostlyRanges(std::string_view value) {
  value = Trim(value);
  if (value.size() < 6 || !SameLetters(value.substr(0, 6), "bytes=")) return false;
  value.remove_prefix(6);
  struct Span {
    std::uint64_t first, last;
  };
  std::vector<Span> spans;
  bool suffix = false;
  std::size_t count = 0;
  while (!value.empty()) {
    const std::size_t comma = value.find(',');
    const std::string_view range = Trim(value.substr(0, comma));
    value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
    if (++count > kMaxRanges) return true;
    const std::size_t dash = range.find('-');
    if (dash == std::string_view::npos) return false;
    const std::string_view from = range.substr(0, dash), to = range.substr(dash + 1);
    if (from.empty()) {
      // A suffix range may cover any other range of the file.
      if (!Number(to)) return false;
      suffix = true;
      continue;
    }
    const auto first = Number(from);
    const auto last =
        to.empty() ? std::optional(std::numeric_limits<std::uint64_t>::max()) : Number(to);
    if (!first || !last || *last < *first) return false;
    spans.push_back({*first, *last});
  }
  if (suffix && count > 1) return true;
  std::sort(spans.begin(), spans.end(), [](Span a, Span b) { return a.first < b.first; });
  for (std::size_t i = 1; i < spans.size(); ++i) {
    if (spans[i].first <= spans[i - 1].last) return true;
  }
  return false;
}

std::string CheapEncoding(std::string_view target, std::string_view offered) {
  const std::string_view path = target.substr(0, target.find('?'));
  if (path.size() >= 4 && SameLetters(path.substr(path.size() - 4), ".txt")) return {};
  while (!offered.empty()) {
    const std::size_t comma = offered.find(',');
    std::string_view token = Trim(offered.substr(0, comma));
    token = Trim(token.substr(0, token.find(';')));
    if (SameLetters(token, "gzip")) return "gzip";
    offered = comma == std::string_view::npos ? std::string_view() : offered.substr(comma + 1);
  }
  return {};
}

}  // namespace

std::optional<std::size_t> RequestHeadLength(std::string_view bytes) {
  // Lines may end in a bare line feed, as the HTTP library accepts them.
  for (std::size_t at = bytes.find('\n'); at != std::string_view::npos;
       at = bytes.find('\n', at + 1)) {
    if (at + 1 < bytes.size() && bytes[at + 1] == '\n') return at + 2;
    if (at + 2 < bytes.size() && bytes[at + 1] == '\r' && bytes[at + 2] == '\n') return at + 3;
  }
  return std::nullopt;
}

std::optional<std::size_t> AnnouncedBodyLength(std::string_view head) {
  std::size_t length = 0;
  for (std::size_t at = head.find('\n'); at != std::string_view::npos;) {
    const std::size_t next = head.find('\n', at + 1);
    const std::string_view line = head.substr(
        at + 1, next == std::string_view::npos ? std::string_view::npos : next - at - 1);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && SameLetters(line.substr(0, colon), "Content-Length")) {
      const auto value = Number(Trim(line.substr(colon + 1)));
      if (!value || *value > std::numeric_limits<std::size_t>::max()) return std::nullopt;
      length = static_cast<std::size_t>(*value);
    }
    at = next;
  }
  return length;
}

std::string TameRequestHead(std::string_view head) {
  std::string out;
  out.reserve(head.size());
  std::string_view target;
  bool first = true;
  while (!head.empty()) {
    const std::size_t end = head.find('\n');
    const std::string_view line =
        head.substr(0, end == std::string_view::npos ? head.size() : end + 1);
    head.remove_prefix(line.size());
    if (first) {
      first = false;
      const std::size_t space = line.find(' ');
      if (space != std::string_view::npos) {
        target = line.substr(space + 1);
        target = target.substr(0, target.find(' '));
      }
      out.append(line);
      continue;
    }
    const std::size_t colon = line.find(':');
    const std::string_view name =
        colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
    if (SameLetters(name, "Range") && CostlyRanges(line.substr(colon + 1))) continue;
    if (SameLetters(name, "Accept-Encoding")) {
      const std::string encoding = CheapEncoding(target, line.substr(colon + 1));
      if (!encoding.empty()) out.append("Accept-Encoding: ").append(encoding).append("\r\n");
      continue;
    }
    out.append(line);
  }
  return out;
}

}  // namespace orvane::server
