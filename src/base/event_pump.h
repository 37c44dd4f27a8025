#pragma once

// A slot for the window's event pump, which every layer may call while it
// waits: the read loops between two reads, the transport while a server
// thinks, so the window repaints and its buttons work. A handler run from
// here may start a request of its own, which completes before the waiting
// one goes on. Nothing runs until a window installs a pump.

#include <functional>
#include <utility>

namespace pakeno {

inline std::function<void()>& EventPumpSlot() {
  static std::function<void()> pump;
  return pump;
}

// Lets the window's pending events run.
inline void PumpEvents() {
  // A copy, so a handler that replaces the pump does not destroy the running one.
  if (std::function<void()> pump = EventPumpSlot()) pump();
}

// Installs the pump (an empty function removes it); returns the previous one.
inline std::function<void()> SetEventPump(std::function<void()> pump) {
  return std::exchange(EventPumpSlot(), std::move(pump));
}

}  // namespace pakeno
