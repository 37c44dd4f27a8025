#pragma once

// The display's scale, on every Windows from 7 on: the functions Windows 10
// brought for it are looked up when the program runs, so that an older
// system's loader does not refuse the program before it starts.

#include <windows.h>

namespace pakeno::win32 {

// Per-monitor awareness (v2) where Windows has it (10, 1703 on), system
// awareness before that. The manifest says the same; a test program has none.
void BecomeDpiAware();

// The system's DPI: GetDpiForSystem where Windows has it (10, 1607 on), the
// screen's logical pixels per inch before that.
UINT SystemDpi();
// The fallback: the screen's logical pixels per inch (Windows 7 on).
UINT ScreenDpi();

}  // namespace pakeno::win32
