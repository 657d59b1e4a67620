// Any listing page, however broken, parses without crashing and within linear time.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "updater/update_listing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  std::size_t total = 0;
  for (const std::string& name : zentrel::ParseListing(zentrel::JoinLines(page)))
    total += name.size();
  if (total > size) __builtin_trap();
  zentrel::NormaliseHost(page);
  return 0;
}
