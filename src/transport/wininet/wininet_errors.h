#pragma once

#include <windows.h>

#include "transport/failure.h"

namespace pakeno::transport {

// What WinINet's error `code` means, in words (its message table is not
// there on every system), and its class. Through a proxy, a name that does
// not resolve or a connection that cannot be made is the proxy's.
Failure WinInetFailure(DWORD code, bool throughProxy);

}  // namespace pakeno::transport
