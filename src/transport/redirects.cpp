#include "transport/redirects.h"

#include "base/ascii.h"
#include "transport/header_lines.h"

namespace pakeno::transport {

bool IsRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool RedirectBecomesGet(long status, std::string_view verb) {
  return status == 303 || ((status == 301 || status == 302) && EqualsIgnoringCase(verb, "POST"));
}

Failure RedirectRefusal(bool startedSecure, std::string_view next, int redirectsSoFar, int maxRedirects) {
  if (startedSecure && !StartsWithIgnoringCase(next, "https://"))
    return {FailureKind::kRedirectToHttp, "a redirect from https to plain http was refused"};
  if (redirectsSoFar >= maxRedirects)
    return {FailureKind::kTooManyRedirects, "more than " + std::to_string(redirectsSoFar) + " redirects"};
  return {};
}

void PrepareNextHop(HopRequest& request, long status, std::string_view from, std::string_view to) {
  if (from != to) RemoveHeaders(request.headerLines, {"Referer", "Authorization", "Cookie"});
  if (RedirectBecomesGet(status, request.verb)) {
    if (!EqualsIgnoringCase(request.verb, "HEAD")) request.verb = "GET";
    request.body.clear();
    RemoveHeaders(request.headerLines, {"Content-Length", "Content-Type"});
  }
}

}  // namespace pakeno::transport
