#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orvane::server {

// More ranges than this in one request are not served as ranges.
inline constexpr std::size_t kMaxRanges = 4;

// The length of the request head at the front of bytes (terminating empty line included), or
// nothing while it is incomplete.
std::optional<std::size_t> RequestHeadLength(std::string_view bytes);

// The body length a complete head announces with Content-Length (0 without one, nothing when
// the value is not a plain number).
std::optional<std::size_t> AnnouncedBodyLength(std::string_view head);

// The head as it is handed to the HTTP library, with what would be costly taken out:
// - a Range of more than kMaxRanges ranges, or of ranges that overlap, is dropped, so the whole
//   file is answered once instead of many overlapping copies of it;
// - Accept-Encoding keeps gzip only, and nothing for ".txt" targets (series and menu lists), so
//   no answer is compressed at a costly level.
std::string TameRequestHead(std::string_view head);

}  // namespace orvane::server
