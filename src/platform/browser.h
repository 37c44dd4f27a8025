#pragma once

#include "base/types.h"

namespace pakeno {

// Hands an address to the user's default web browser. Nothing is reported.
class Browser {
 public:
  virtual ~Browser() = default;
  virtual void Open(const Text& address) = 0;
};

}  // namespace pakeno
