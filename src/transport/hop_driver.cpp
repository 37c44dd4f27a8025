#include "transport/hop_driver.h"

#include <utility>

namespace pakeno::transport {
namespace {

HopDriverMaker& Maker() {
  static HopDriverMaker maker;
  return maker;
}

}  // namespace

std::unique_ptr<HopDriver> NewHopDriver() { return Maker() ? Maker()() : MakeHopDriver(); }

HopDriverMaker SetHopDriverMakerForTesting(HopDriverMaker make) { return std::exchange(Maker(), std::move(make)); }

}  // namespace pakeno::transport
