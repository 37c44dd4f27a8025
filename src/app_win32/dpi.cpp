#include "app_win32/dpi.h"

namespace pakeno::win32 {
namespace {

// A function of user32 by name; null where this Windows lacks it.
template <typename Function>
Function FromUser32(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(user32, name))) : nullptr;
}

}  // namespace

void BecomeDpiAware() {
  using SetContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
  if (const auto set = FromUser32<SetContext>("SetProcessDpiAwarenessContext")) {
    set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    return;
  }
  SetProcessDPIAware();  // Vista on
}

UINT SystemDpi() {
  using GetDpi = UINT(WINAPI*)();
  static const auto get = FromUser32<GetDpi>("GetDpiForSystem");
  return get ? get() : ScreenDpi();
}

UINT ScreenDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace pakeno::win32
