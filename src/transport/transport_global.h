#pragma once

namespace pakeno::transport {

// Whether the system's HTTP library could be set up, once per process;
// nothing can be sent without it.
bool TransportAvailable();

}  // namespace pakeno::transport
