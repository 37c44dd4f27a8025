#pragma once

#include <functional>

namespace pakeno {

// Lets the window's pending events run. The read loops call it between two
// reads, so the window repaints and its buttons work during a long body; a
// handler run from here may start a request of its own, which completes
// before the outer read loop goes on. Does nothing until a window installs a pump.
void PumpEvents();

// Installs the pump (an empty function removes it); returns the previous one.
std::function<void()> SetEventPump(std::function<void()> pump);

}  // namespace pakeno
