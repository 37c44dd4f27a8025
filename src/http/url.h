#pragma once

// Splitting an address as typed into host, port and path. Only "http://" at
// the very start is a scheme; nothing else (https, user names) is recognised.

#include <string_view>

#include "base/types.h"

namespace pakeno {

Text UrlHost(std::string_view url, bool keepPort = false);
Text UrlPath(std::string_view url);
int UrlPort(std::string_view url);

}  // namespace pakeno
