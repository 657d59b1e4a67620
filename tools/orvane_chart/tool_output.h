#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace orvane::tool {

// Compact UTF-8 JSON and a newline; non-finite numbers print as null, shortest round-trip
// doubles, malformed UTF-8 replaced rather than thrown on.
std::string JsonText(const nlohmann::json& value);

// A double as JSON: null when not finite.
nlohmann::json JsonNumber(double value);

}  // namespace orvane::tool
