#include "data/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "data/text_codec.h"

namespace orvane {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Decimal magnitude of a decimal number text (mantissa digits, optional exponent):
// positive when the value is at least 1. Decides overflow against underflow.
long long DecimalMagnitude(std::string_view number) {
  std::size_t i = 0;
  long long magnitude = 0;
  bool seenNonZero = false;
  for (; i < number.size() && IsDigit(number[i]); ++i) {
    if (number[i] != '0') seenNonZero = true;
    if (seenNonZero) ++magnitude;
  }
  if (i < number.size() && number[i] == '.') {
    for (++i; i < number.size() && IsDigit(number[i]); ++i) {
      if (seenNonZero) continue;
      if (number[i] != '0') {
        seenNonZero = true;
      } else {
        --magnitude;
      }
    }
  }
  if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) negative = number[i++] == '-';
    long long exponent = 0;
    for (; i < number.size() && IsDigit(number[i]); ++i) {
      exponent = std::min<long long>(exponent * 10 + (number[i] - '0'), 1'000'000'000);
    }
    magnitude += negative ? -exponent : exponent;
  }
  return magnitude;
}

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Plain decimals of at most 15 digits (the usual cell) without an exponent: the digits and the
// power of ten are exact doubles, so one division gives the correctly rounded value.
bool ParseShortDecimal(std::string_view text, std::size_t& used, double& value) {
  std::uint64_t digits = 0;
  int count = 0;
  int decimals = 0;
  std::size_t i = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++count) digits = digits * 10 + (text[i] - '0');
  if (count == 0) return false;
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && IsDigit(text[i]); ++i, ++count, ++decimals) {
      digits = digits * 10 + (text[i] - '0');
    }
  }
  if (count > 15 || (i < text.size() && (text[i] == 'e' || text[i] == 'E'))) return false;
  used = i;
  value = static_cast<double>(digits) / kExactPowersOfTen[decimals];
  return true;
}

// Parses an unsigned decimal number at the start of `text` like strtod; reports how many
// characters it used (0 when none).
double ParseUnsignedDecimal(std::string_view text, std::size_t& used) {
  if (double fast; ParseShortDecimal(text, used, fast)) return fast;
  double value = 0;
  const auto [ptr, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  used = static_cast<std::size_t>(ptr - text.data());
  if (ec == std::errc::invalid_argument) {
    used = 0;
    return 0;
  }
  if (ec == std::errc::result_out_of_range) {
    return DecimalMagnitude(text.substr(0, used)) > 0 ? std::numeric_limits<double>::infinity()
                                                      : 0.0;
  }
  return value;
}

std::string FixedText(double value, int decimals) {
  char buffer[512];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return {};
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string GroupThousands(std::string_view text) {
  // CP949 width of every character; boundaries[i] is the byte offset after character i.
  std::vector<std::size_t> widths;
  std::vector<std::size_t> boundaries;
  std::size_t totalWidth = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = 1;
    std::size_t width = 1;
    if (static_cast<unsigned char>(text[i]) >= 0x80) {
      while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
      width = Cp949ByteCount(text.substr(i, n));
    }
    i += n;
    widths.push_back(width);
    boundaries.push_back(i);
    totalWidth += width;
  }
  const bool positive = TextToInt(text) > 0;
  // Byte offsets before which a "," goes, found from the right.
  std::vector<std::size_t> cuts;
  std::size_t suffixWidth = 0;
  for (std::size_t c = widths.size(); c-- > 0;) {
    suffixWidth += widths[c];
    const std::size_t offset = c == 0 ? 0 : boundaries[c - 1];
    if (suffixWidth % 3 != 0 || suffixWidth > 15) continue;
    if (totalWidth > suffixWidth + (positive ? 0 : 1)) cuts.push_back(offset);
  }
  std::string out;
  out.reserve(text.size() + cuts.size());
  std::size_t from = 0;
  for (std::size_t k = cuts.size(); k-- > 0;) {
    out.append(text.substr(from, cuts[k] - from));
    out += ',';
    from = cuts[k];
  }
  out.append(text.substr(from));
  return out;
}

std::string NumberText(double value, int decimals) {
  // The format carries the decimals as two digits, so 99 is the most it can ask for.
  std::string text = FixedText(value, std::clamp(decimals, 0, 99));
  return text == "0" ? std::string() : text;
}

std::optional<std::string> ScientificToFixed(std::string_view field) {
  std::size_t i = 0;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  const std::size_t numberStart = i;
  std::size_t digits = 0;
  for (; i < field.size() && IsDigit(field[i]); ++i) ++digits;
  if (i < field.size() && field[i] == '.') {
    for (++i; i < field.size() && IsDigit(field[i]); ++i) ++digits;
  }
  if (digits == 0 || i == field.size() || (field[i] != 'E' && field[i] != 'e')) return std::nullopt;
  ++i;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) ++i;
  const std::size_t exponentStart = i;
  while (i < field.size() && IsDigit(field[i])) ++i;
  if (i == exponentStart || i != field.size()) return std::nullopt;

  std::size_t used = 0;
  double value = ParseUnsignedDecimal(field.substr(numberStart), used);
  if (used != field.size() - numberStart) return std::nullopt;
  // Beyond a double's range there is no value to write; the text stays as written.
  if (std::isinf(value)) return std::string(field);
  return FixedText(negative ? -value : value, 9);
}

double TextToDouble(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string_view rest = text.substr(i);
  double value = 0;
  if (rest.size() > 1 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    // "0x" alone reads as the 0 before the x.
    const auto [ptr, ec] =
        std::from_chars(rest.data() + 2, rest.data() + rest.size(), value, std::chars_format::hex);
    if (ec == std::errc::invalid_argument) {
      value = 0;
    } else if (ec == std::errc::result_out_of_range) {
      const std::string_view parsed(rest.data() + 2,
                                    static_cast<std::size_t>(ptr - rest.data() - 2));
      const auto p = parsed.find_first_of("pP");
      const bool shrinking =
          p != std::string_view::npos && p + 1 < parsed.size() && parsed[p + 1] == '-';
      value = shrinking ? 0.0 : std::numeric_limits<double>::infinity();
    }
  } else if (!rest.empty() && (IsDigit(rest[0]) || rest[0] == '.' || rest[0] == 'i' ||
                               rest[0] == 'I' || rest[0] == 'n' || rest[0] == 'N')) {
    std::size_t used = 0;
    value = ParseUnsignedDecimal(rest, used);
  }
  return negative ? -value : value;
}

std::int32_t TextToInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr long long kLimit = 1LL << 31;
  long long magnitude = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    magnitude = std::min(magnitude * 10 + (text[i] - '0'), kLimit);
  }
  if (negative) return static_cast<std::int32_t>(-magnitude);
  return static_cast<std::int32_t>(std::min(magnitude, kLimit - 1));
}

}  // namespace orvane
