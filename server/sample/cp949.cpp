#include "server/sample/cp949.h"

#include <iconv.h>

#include <cerrno>

namespace orvane::server {

std::optional<std::string> Utf8ToCp949(std::string_view text) {
  iconv_t cd = ::iconv_open("CP949", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  // CP949 never needs more bytes than UTF-8 for the same text.
  std::string out(text.size(), '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* dst = out.data();
  std::size_t outLeft = out.size();
  const std::size_t rc = ::iconv(cd, &in, &inLeft, &dst, &outLeft);
  ::iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1) || inLeft != 0) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace orvane::server
