#pragma once

// Following a redirect as a browser does. Pure rules, the same on every
// system; addresses are resolved by the tool's own reader (RFC 3986).

#include <string>
#include <string_view>
#include <vector>

#include "cookies/cookie_store.h"
#include "transport/failure.h"

namespace pakeno::transport {

bool IsRedirect(long status);

// 303, and 301 or 302 after a POST, go on as a GET without body (a HEAD stays a HEAD).
bool RedirectBecomesGet(long status, std::string_view verb);

// Why the redirect to `next` is not followed; empty when it is. What was
// meant to travel encrypted is never re-sent in clear, and a chain longer
// than `maxRedirects` ends as a loop does.
Failure RedirectRefusal(bool startedSecure, std::string_view next, int redirectsSoFar, int maxRedirects);

// A request as it goes from one hop to the next.
struct HopRequest {
  std::string verb;
  std::string body;
  std::vector<std::string> headerLines;
};

// Turns `request` into the one for the redirect `status` from host `from`
// to host `to` (lower case): a 303, or a 301/302 after a POST, goes on as a
// GET without body or form headers; the Referer (the address the user typed),
// and the caller's Authorization and Cookie lines stay with the host they
// were meant for.
void PrepareNextHop(HopRequest& request, long status, std::string_view from, std::string_view to);

// The absolute address of a Location value relative to `base` (RFC 3986);
// empty when either cannot be read as an address. Blanks and control bytes
// in it are escaped; GBK bytes stay as they are.
std::string ResolveLocation(std::string_view base, std::string_view location);

// The host of an absolute address, lower case; empty when it has none.
std::string HostOfAddress(std::string_view address);

// Scheme, host and path of an absolute address, as the cookie store takes them.
CookieOrigin CookieOriginOf(std::string_view address);

}  // namespace pakeno::transport
