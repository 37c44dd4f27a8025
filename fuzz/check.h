#pragma once

#include <cstdlib>

// A broken invariant ends the run, so libFuzzer keeps the input that broke it.
inline void Check(bool ok) {
  if (!ok) std::abort();
}
