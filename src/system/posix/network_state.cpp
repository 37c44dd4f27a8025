#include "system/network_state.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <memory>

namespace pakeno::transport {

bool AnyNetworkInterfaceUp() {
  ifaddrs* raw = nullptr;
  if (getifaddrs(&raw) != 0) return false;
  const std::unique_ptr<ifaddrs, void (*)(ifaddrs*)> list(raw, freeifaddrs);
  for (const ifaddrs* entry = list.get(); entry; entry = entry->ifa_next) {
    const unsigned flags = entry->ifa_flags;
    if ((flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK)) return true;
  }
  return false;
}

}  // namespace pakeno::transport
