#include "app/adapter_mac.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdio>

namespace orvane::app {

std::string ChooseAdapterText(std::span<const AdapterEntry> adapters) {
  if (adapters.empty()) return {};
  auto chosen = std::find_if(adapters.begin(), adapters.end(),
                             [](const AdapterEntry& a) { return a.ethernet; });
  const AdapterEntry& a = chosen != adapters.end() ? *chosen : adapters.back();
  char textBuffer[18];
  std::snprintf(textBuffer, sizeof textBuffer, "%02X:%02X:%02X:%02X:%02X:%02X", a.address[0],
                a.address[1], a.address[2], a.address[3], a.address[4], a.address[5]);
  return textBuffer;
}

std::vector<AdapterEntry> ListAdapters() {
  std::vector<AdapterEntry> adapters;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return adapters;
  for (ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
    if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_PACKET) continue;
    if ((it->ifa_flags & IFF_LOOPBACK) != 0) continue;
    const auto* link = reinterpret_cast<const sockaddr_ll*>(it->ifa_addr);
    AdapterEntry entry;
    entry.ethernet = link->sll_hatype == ARPHRD_ETHER;
    std::copy_n(link->sll_addr, std::min<std::size_t>(link->sll_halen, entry.address.size()),
                entry.address.begin());
    adapters.push_back(entry);
  }
  freeifaddrs(list);
  return adapters;
}

std::string AdapterMacText() {
  std::vector<AdapterEntry> adapters = ListAdapters();
  return ChooseAdapterText(adapters);
}

}  // namespace orvane::app
