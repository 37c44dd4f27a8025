#include "transport/transport_global.h"

namespace pakeno::transport {

// WinINet needs no set-up of its own before the first session.
bool TransportAvailable() { return true; }

}  // namespace pakeno::transport
