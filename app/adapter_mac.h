#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvane::app {

// One network adapter as the system lists it: its link type and hardware address.
struct AdapterEntry {
  bool ethernet = false;
  std::array<std::uint8_t, 6> address{};
};

// The first Ethernet adapter's address as "%02X:%02X:%02X:%02X:%02X:%02X", else the last
// adapter's, else empty.
std::string ChooseAdapterText(std::span<const AdapterEntry> adapters);

// The adapters of this machine (loopback left out), in the order the system lists them.
std::vector<AdapterEntry> ListAdapters();

std::string AdapterMacText();

}  // namespace orvane::app
