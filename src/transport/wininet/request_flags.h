#pragma once

#include <windows.h>

namespace pakeno::transport {

// The flags every request over WinINet is opened with.
DWORD WinInetRequestFlags(bool https);

}  // namespace pakeno::transport
