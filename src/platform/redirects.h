#pragma once

// Following a redirect as a browser does. The rules are pure; resolving an
// address is the system's URL parser's (linux/url_parsing.cpp).

#include <string>
#include <string_view>

#include "platform/cookie_store.h"

namespace pakeno::transport {

bool IsRedirect(long status);

// 303, and 301 or 302 after a POST, go on as a GET without body (a HEAD stays a HEAD).
bool RedirectBecomesGet(long status, std::string_view verb);

// The absolute address of a Location value relative to `base`; empty when
// either cannot be read as an address.
std::string ResolveLocation(std::string_view base, std::string_view location);

// The host of an absolute address, lower case; empty when it has none.
std::string HostOfAddress(std::string_view address);

// Scheme, host and path of an absolute address, as the cookie store takes them.
CookieOrigin CookieOriginOf(std::string_view address);

}  // namespace pakeno::transport
