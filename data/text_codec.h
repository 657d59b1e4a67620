#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvane {

// True when the bytes form well-formed UTF-8 (no overlongs, surrogates or values above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// CP949 bytes to UTF-8. A byte that starts no valid CP949 character becomes U+FFFD.
std::string DecodeCp949(std::string_view bytes);

// UTF-8 to CP949 bytes. A character CP949 cannot hold, or a malformed byte, becomes "?".
std::string EncodeCp949(std::string_view utf8);

// Length of the text as the CP949 bytes it is sent and checked as.
std::size_t Cp949ByteCount(std::string_view utf8);

// The text of a series or list file: taken as it is when it is already valid UTF-8 (a leading
// byte-order mark dropped), otherwise decoded from CP949.
std::string DecodeFileText(std::string_view bytes);

}  // namespace orvane
