#include "data/text_codec.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace orvane {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// One iconv conversion descriptor, closed when it goes out of scope.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv_open reports failure as (iconv_t)-1.
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `in`, calling onBad(inputPointer, remaining) on each byte iconv rejects;
  // onBad returns how many input bytes to skip and appends its own replacement.
  template <typename OnBad>
  void Convert(std::string_view in, std::string& out, OnBad onBad) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buffer[4096];
    while (srcLeft > 0) {
      const char* start = src;
      char* dst = buffer;
      std::size_t dstLeft = sizeof buffer;
      const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      if (rc != static_cast<std::size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (a sequence cut off at the end): skip the offending bytes, unless
      // iconv already went past them.
      if (ConsumedBadSequence(start, src)) {
        onBad(src, 0, out);
      } else {
        const std::size_t skip = std::min(onBad(src, srcLeft, out), srcLeft);
        src += skip;
        srcLeft -= skip;
      }
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
  }

 private:
  // glibc's CP949 converter reads past some unassigned two-byte codes before reporting them,
  // where iconv should stop at the offending sequence: then [from, to) does not convert cleanly.
  bool ConsumedBadSequence(const char* from, const char* to) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(from);
    auto left = static_cast<std::size_t>(to - from);
    char buffer[4096];
    while (left > 0) {
      char* dst = buffer;
      std::size_t dstLeft = sizeof buffer;
      if (iconv(cd_, &src, &left, &dst, &dstLeft) == static_cast<std::size_t>(-1) &&
          errno != E2BIG) {
        return true;
      }
    }
    return false;
  }

  iconv_t cd_;
};

// Length of the UTF-8 sequence starting at `p` (1 for a malformed byte, 0 when nothing is left).
std::size_t Utf8SequenceLength(const char* p, std::size_t left) {
  if (left == 0) return 0;
  const auto lead = static_cast<unsigned char>(*p);
  std::size_t n = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (n > left) return 1;
  for (std::size_t i = 1; i < n; ++i) {
    if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80) return 1;
  }
  return n;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    // Skip ASCII eight bytes at a time: series files are mostly digits.
    while (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      if (word & 0x8080808080808080ULL) break;
      p += 8;
    }
    if (p == end) break;
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    std::size_t n;
    unsigned lowest;
    unsigned value;
    if (c >= 0xC2 && c <= 0xDF) {
      n = 2, lowest = 0x80, value = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 3, lowest = 0x800, value = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 4, lowest = 0x10000, value = c & 0x07;
    } else {
      return false;
    }
    if (static_cast<std::size_t>(end - p) < n) return false;
    for (std::size_t i = 1; i < n; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      value = (value << 6) | (p[i] & 0x3F);
    }
    if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    p += n;
  }
  return true;
}

std::string DecodeCp949(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  thread_local Converter converter("UTF-8", "CP949");
  if (!converter.ok()) {
    // Without a converter keep ASCII and mark everything else as unreadable.
    for (char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80) {
        out += c;
      } else {
        out += kReplacementCharacter;
      }
    }
    return out;
  }
  converter.Convert(bytes, out, [](const char*, std::size_t, std::string& o) {
    o += kReplacementCharacter;
    return std::size_t{1};
  });
  return out;
}

std::string EncodeCp949(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  thread_local Converter converter("CP949", "UTF-8");
  if (!converter.ok()) {
    for (std::size_t i = 0; i < utf8.size();) {
      const std::size_t n = Utf8SequenceLength(utf8.data() + i, utf8.size() - i);
      out += n == 1 && static_cast<unsigned char>(utf8[i]) < 0x80 ? utf8[i] : '?';
      i += n;
    }
    return out;
  }
  converter.Convert(utf8, out, [](const char* p, std::size_t left, std::string& o) {
    o += '?';
    return Utf8SequenceLength(p, left);
  });
  return out;
}

std::size_t Cp949ByteCount(std::string_view utf8) {
  bool ascii = true;
  for (char c : utf8) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  }
  return ascii ? utf8.size() : EncodeCp949(utf8).size();
}

std::string DecodeFileText(std::string_view bytes) {
  if (IsValidUtf8(bytes)) {
    if (bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
    return std::string(bytes);
  }
  return DecodeCp949(bytes);
}

}  // namespace orvane
