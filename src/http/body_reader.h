#pragma once

#include "base/types.h"
#include "platform/request.h"

namespace pakeno {

// When the read loop lets pending window events run.
enum class PumpAt { kBeforeEachRead, kAfterEachRead };

// Reads a response body to its end, 2048 bytes at a time: the first read
// that delivers nothing ends it, whatever the reason, and what arrived until
// then is the body. Running out of memory ends it the same way.
Bytes ReadWholeBody(transport::Request& request, PumpAt pumpAt);

}  // namespace pakeno
