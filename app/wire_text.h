#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvane::app {

// Login and sign-up texts travel as CP949; inside the program they are UTF-8.
// Characters CP949 lacks become "?", so the result is always sendable.
std::string ToWireText(std::string_view utf8);

// Bytes that are not valid CP949 become U+FFFD.
std::string FromWireText(std::string_view cp949);

// Length checks count the bytes of the CP949 form: a Hangul syllable counts 2.
std::size_t WireByteCount(std::string_view utf8);

}  // namespace orvane::app
