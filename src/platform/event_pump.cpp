#include "platform/event_pump.h"

#include <utility>

namespace pakeno {
namespace {

std::function<void()>& Pump() {
  static std::function<void()> pump;
  return pump;
}

}  // namespace

void PumpEvents() {
  // A copy, so a handler that replaces the pump does not destroy the running one.
  if (std::function<void()> pump = Pump()) pump();
}

std::function<void()> SetEventPump(std::function<void()> pump) { return std::exchange(Pump(), std::move(pump)); }

}  // namespace pakeno
