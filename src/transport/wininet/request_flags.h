#pragma once

#include <windows.h>

namespace pakeno::transport {

// The flags every request over WinINet is opened with. `proxyLogin`: the
// proxy's address carried credentials, which WinINet gives only when it may
// answer challenges itself (a server's too, though none is given for one).
DWORD WinInetRequestFlags(bool https, bool proxyLogin);

}  // namespace pakeno::transport
