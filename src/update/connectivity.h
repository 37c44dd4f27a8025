#pragma once

#include <functional>

#include "base/types.h"

namespace pakeno {

// True when a network interface other than loopback is up and `probeAddress`
// answered within five seconds (a GET through the system's proxy settings,
// agent "test"; the page itself is not read).
bool IsInternetConnected(const Text& probeAddress);

// Replaces the question whether any interface is up (an empty function
// restores it); returns the previous replacement. For tests.
std::function<bool()> SetInterfaceCheckForTesting(std::function<bool()> anyInterfaceUp);

}  // namespace pakeno
