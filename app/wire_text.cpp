#include "app/wire_text.h"

#include <iconv.h>

#include <cerrno>

namespace orvane::app {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts everything, handing each unconvertible stretch to `skip`, which returns the
  // number of input bytes to drop and appends its stand-in.
  template <typename Skip>
  std::string Run(std::string_view in, Skip skip) {
    std::string out;
    out.reserve(in.size() * 2);
    char buffer[256];
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    while (inLeft > 0) {
      char* outPtr = buffer;
      std::size_t outLeft = sizeof buffer;
      std::size_t r = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
      out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
      if (r != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      std::size_t drop = skip(std::string_view(inPtr, inLeft), out);
      inPtr += drop;
      inLeft -= drop;
    }
    return out;
  }

 private:
  iconv_t cd_;
};

std::size_t Utf8SequenceLength(std::string_view rest) {
  auto lead = static_cast<unsigned char>(rest[0]);
  std::size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  std::size_t taken = 1;
  while (taken < n && taken < rest.size() &&
         (static_cast<unsigned char>(rest[taken]) & 0xC0) == 0x80) {
    ++taken;
  }
  return taken;
}

}  // namespace

std::string ToWireText(std::string_view utf8) {
  Converter conv("CP949", "UTF-8");
  if (!conv.Ok()) return std::string(utf8);
  return conv.Run(utf8, [](std::string_view rest, std::string& out) {
    out.push_back('?');
    return Utf8SequenceLength(rest);
  });
}

std::string FromWireText(std::string_view cp949) {
  Converter conv("UTF-8", "CP949");
  if (!conv.Ok()) return std::string(cp949);
  return conv.Run(cp949, [](std::string_view, std::string& out) {
    out.append("\xEF\xBF\xBD");
    return std::size_t{1};
  });
}

std::size_t WireByteCount(std::string_view utf8) { return ToWireText(utf8).size(); }

}  // namespace orvane::app
