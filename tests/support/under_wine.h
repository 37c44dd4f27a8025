#pragma once

// Whether the tests run under Wine rather than on Windows itself: a few
// cases hold on Windows but not on Wine, and say so where they are skipped.

#ifdef _WIN32
#include <windows.h>
#endif

namespace pakeno::testing {

// The Windows build: a few cases do not hold on it yet, and say why where they are skipped.
#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

inline bool UnderWine() {
#ifdef _WIN32
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
  return false;
#endif
}

}  // namespace pakeno::testing
