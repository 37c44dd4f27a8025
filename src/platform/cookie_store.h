#pragma once

// The process-wide cookie store, in memory, shared by every request.
// libcurl's cookie engine fills it from the responses it receives; the page
// fetch's cookie pass adds to it through SetCookie, under the same rules.

#include <string>
#include <string_view>

namespace pakeno::transport {

// Stores one cookie as if a response from `url` ("http://host" or
// "https://host") had set it. `data` is the value, optionally followed by
// attributes ("b; path=/"). Refused, as a browser refuses it: a nameless
// cookie; a Secure one from plain http, or one from plain http that would
// replace a Secure one; a Domain that the host does not domain-match or that
// is a public suffix. A Max-Age too large for the clock saturates.
bool SetCookie(std::string_view url, std::string_view name, std::string_view data);

// The stored cookies in Netscape format lines; for tests.
std::string ListCookiesForTesting();
void ClearCookiesForTesting();

}  // namespace pakeno::transport
