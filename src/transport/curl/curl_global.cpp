#include "transport/curl/curl_handles.h"
#include "transport/transport_global.h"

namespace pakeno::transport::detail {

bool GlobalInit() {
  // Once per process, before the first handle; never undone, since a request
  // may still be running when the program ends.
  static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ok;
}

}  // namespace pakeno::transport::detail

namespace pakeno::transport {

bool TransportAvailable() { return detail::GlobalInit(); }

}  // namespace pakeno::transport
