#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace orvane {

struct FetchOptions {
  std::chrono::milliseconds connectTimeout{10000};
  // The transfer is abandoned when no byte arrives for this long.
  std::chrono::milliseconds stallTimeout{30000};
  // Pause after deleting an old copy, before the request goes out.
  std::chrono::milliseconds replacePause{200};
};

enum class FetchResult {
  Ok,
  UnsafeName,      // the file name could leave the cache folder; nothing was touched
  HttpError,       // the server answered with a status other than 2xx
  TransferFailed,  // no connection, a time-out, or a body cut short
  WriteFailed,     // the local file could not be written or put in place
};

// One GET of url; the body goes unchanged into cacheDir + fileName (cacheDir empty: the current
// folder; otherwise it ends with a separator). Any earlier copy is deleted first, so on every
// result but Ok the target is absent. The body is written under a temporary name in the same
// folder and renamed into place only once the transfer completed.
FetchResult FetchFile(std::string_view url, std::string_view fileName, std::string_view cacheDir,
                      const FetchOptions& options = {});

// False for names that are empty, "." or "..", or hold a path separator or a zero byte.
bool IsSafeFileName(std::string_view fileName);

}  // namespace orvane
