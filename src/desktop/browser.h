#pragma once

#include "base/types.h"

namespace pakeno {

// Hands an address to the user's default web browser. Nothing is reported.
class Browser {
 public:
  virtual ~Browser() = default;
  // `address` is GB18030, so that it may hold any character the page had.
  virtual void Open(const Text& address) = 0;
};

}  // namespace pakeno
