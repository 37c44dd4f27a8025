// What the transport's shared rules need of Windows itself: the HTTP
// library's set-up, the public suffix list, the network's state, the
// machine's memory.

#include <windows.h>
#include <wininet.h>

#include <utility>

#include "public_suffix_list.h"

#include "platform/memory_hint.h"
#include "platform/network_state.h"
#include "platform/public_suffix.h"
#include "platform/public_suffix_rules.h"
#include "platform/transport_global.h"

namespace pakeno {

namespace transport {

// WinINet needs no set-up of its own before the first session.
bool TransportAvailable() { return true; }

namespace {

bool& SuffixListMissing() {
  static bool missing = false;
  return missing;
}

}  // namespace

// Windows brings no public suffix list: the build's copy is compiled in.
std::optional<bool> PublicSuffixAllowsCookieDomain(std::string_view host, std::string_view domain) {
  static const PublicSuffixRules rules(kPublicSuffixList);
  if (SuffixListMissing() || rules.Empty()) return std::nullopt;
  return rules.AllowsCookieDomain(host, domain);
}

bool SetPublicSuffixListMissingForTesting(bool missing) { return std::exchange(SuffixListMissing(), missing); }

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
