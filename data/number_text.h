#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

// Inserts "," thousands separators into an optionally signed decimal integer text
// (1234567 -> 1,234,567, -1234 -> -1,234). Positions count CP949 characters of the text as passed.
std::string GroupThousands(std::string_view text);

// The value with `decimals` decimals ("%.NNf"); empty text when that reads exactly "0".
std::string NumberText(double value, int decimals);

// When the whole field is a number in scientific notation (mantissa, "E" or "e", optional sign,
// exponent digits), its value written with nine decimals; 1.5E-03 -> 0.001500000.
// A value too large for a double keeps its text as written; any other text gives nothing.
std::optional<std::string> ScientificToFixed(std::string_view field);

// The leading numeric part of the text as a double, the way C's atof reads it
// (white space, sign, decimal or hexadecimal digits, exponent, inf, nan); 0 when there is none.
// Independent of the process locale.
double TextToDouble(std::string_view text);

// The leading decimal integer of the text, the way C's atoi reads it; 0 when there is none.
// Values beyond the 32-bit range saturate.
std::int32_t TextToInt(std::string_view text);

}  // namespace orvane
