#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvane::server {

// UTF-8 to CP949 through iconv; nothing when a character has no CP949 form.
std::optional<std::string> Utf8ToCp949(std::string_view text);

}  // namespace orvane::server
