// HttpClient over libcurl: a GET read block by block like a file.
#pragma once

#include <chrono>
#include <string>

#include "updater/zentrel_core.h"

namespace zentrel {

struct CurlOptions {
  std::string agent = "VS_Zentrel";
  std::chrono::milliseconds connectTimeout{10000};
  // A transfer that moves no byte for this long is given up.
  std::chrono::seconds stallTimeout{30};
};

class CurlHttpClient final : public HttpClient {
 public:
  explicit CurlHttpClient(CurlOptions options = {});
  std::unique_ptr<HttpStream> Open(const std::string& url, std::stop_token stop) override;

 private:
  CurlOptions options_;
};

}  // namespace zentrel
