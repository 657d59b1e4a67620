#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

// The most a fetch takes from the content server, by kind of file: a hostile server could
// otherwise hand out any size, and a series costs the chart many times its own size.
inline constexpr std::uint64_t kMaxSeriesBytes = std::uint64_t{64} << 20;  // series, menu lists
inline constexpr std::uint64_t kMaxPictureBytes = std::uint64_t{16} << 20;
inline constexpr std::uint64_t kMaxPageBytes = std::uint64_t{16} << 20;

// The limit for a file of this name: pictures and pages by their extension, else a series.
std::uint64_t FetchLimitFor(std::string_view fileName);

struct FetchOptions {
  std::chrono::milliseconds connectTimeout{10000};
  // The transfer is abandoned when no byte arrives for this long.
  std::chrono::milliseconds stallTimeout{30000};
  // Pause after deleting an old copy, before the request goes out.
  std::chrono::milliseconds replacePause{200};
  // Unset: FetchLimitFor(fileName).
  std::optional<std::uint64_t> maxBytes;
};

enum class FetchResult {
  Ok,
  UnsafeName,      // the file name could leave the cache folder; nothing was touched
  HttpError,       // the server answered with a status other than 2xx
  TransferFailed,  // no connection, a time-out, or a body cut short
  WriteFailed,     // the local file could not be written or put in place
  TooLarge,        // the body is over the limit; nothing was written, an earlier copy is kept
};

// One GET of url; the body goes unchanged into cacheDir + fileName (cacheDir empty: the current
// folder; otherwise it ends with a separator). An earlier copy is replaced on Ok, kept on
// TooLarge and deleted on every other result. The body is written under a temporary name in the
// same folder and renamed into place only once the transfer completed.
FetchResult FetchFile(std::string_view url, std::string_view fileName, std::string_view cacheDir,
                      const FetchOptions& options = {});

// False for names that are empty, "." or "..", or hold a path separator or a zero byte.
bool IsSafeFileName(std::string_view fileName);

}  // namespace orvane
