// Any listing page, however broken, parses without crashing and within linear time; any update
// manifest either is refused or reads back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "updater/manifest.h"
#include "updater/update_listing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  std::size_t total = 0;
  for (const std::string& name : zentrel::ParseListing(zentrel::JoinLines(page)))
    total += name.size();
  if (total > size) __builtin_trap();
  zentrel::ResolveUpdateHost({"Zentrel", "--update-host", std::string(page)}, {});
  if (const auto manifest = zentrel::ParseManifest(page)) {
    if (zentrel::FormatManifest(*manifest) != page) __builtin_trap();
  }
  zentrel::RunsOnThisMachine(page);
  return 0;
}
