#pragma once

namespace pakeno::transport {

// Whether the system reports a network connection beyond loopback.
bool AnyNetworkInterfaceUp();

}  // namespace pakeno::transport
