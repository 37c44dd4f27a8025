// What the transport's shared rules need of Windows itself: the HTTP
// library's set-up, the public suffix list, the network's state, the
// machine's memory.

#include <windows.h>
#include <wininet.h>

#include "platform/memory_hint.h"
#include "platform/network_state.h"
#include "platform/public_suffix.h"
#include "platform/transport_global.h"

namespace pakeno {

namespace transport {

// WinINet needs no set-up of its own before the first session.
bool TransportAvailable() { return true; }

// No public suffix list comes with Windows: with none, no cookie may claim a
// Domain (the store refuses them, as it does wherever the list is missing).
std::optional<bool> PublicSuffixAllowsCookieDomain(std::string_view, std::string_view) { return std::nullopt; }
bool SetPublicSuffixListMissingForTesting(bool) { return true; }

bool AnyNetworkInterfaceUp() {
  DWORD how = 0;
  return InternetGetConnectedState(&how, 0);
}

}  // namespace transport

void AdviseHugePages(void*, size_t) {}

size_t PhysicalMemoryBytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? static_cast<size_t>(status.ullTotalPhys) : 0;
}

}  // namespace pakeno
