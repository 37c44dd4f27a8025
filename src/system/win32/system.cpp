// What the tool asks of Windows itself: the network's state and the
// machine's memory.

#include <windows.h>
// After windows.h, whose types it uses.
#include <wininet.h>

#include "system/memory_hint.h"
#include "system/network_state.h"

namespace pakeno {

namespace transport {

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
