#pragma once

// Splitting an address as typed into host, port and path. "http://" and
// "https://" at the very start, in any letter case, are schemes; backslashes
// before the query are separators, as in a browser's address bar. Nothing
// else (user names, a scheme further on) is recognised.

#include <string_view>

#include "base/types.h"

namespace pakeno {

enum class Scheme { kNone, kHttp, kHttps };

Scheme UrlScheme(std::string_view url);
Text UrlHost(std::string_view url, bool keepPort = false);
Text UrlPath(std::string_view url);
// The port the address names; without one 80, or 443 after "https://".
int UrlPort(std::string_view url);
bool UrlNamesPort(std::string_view url);

// The address without the blanks a paste brings along: spaces, tabs, CR,
// LF and the full-width space (A1 A1) at either end. Those inside stay.
Text TrimAddress(std::string_view address);

// Backslashes become slashes, but only before the query: what follows "?"
// is the user's data and goes out as typed. A double-byte character whose
// second byte is 0x5C keeps it.
Text SlashesBeforeQuery(std::string_view address);

}  // namespace pakeno
