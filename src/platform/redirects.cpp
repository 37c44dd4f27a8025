#include "platform/redirects.h"

#include "base/ascii.h"

namespace pakeno::transport {

bool IsRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool RedirectBecomesGet(long status, std::string_view verb) {
  return status == 303 || ((status == 301 || status == 302) && EqualsIgnoringCase(verb, "POST"));
}

}  // namespace pakeno::transport
