#pragma once

#include <string>

#include "base/types.h"
#include "transport/request.h"

namespace pakeno {

// When the read loop lets pending window events run.
enum class PumpAt { kBeforeEachRead, kAfterEachRead };

// Reads a response body to its end, 2048 bytes at a time: the first read
// that delivers nothing ends it. A body that could not be had whole (the
// transfer failed or was cut short, or memory ran out) is no body: the
// result is empty and `failure` says why; otherwise `failure` is none.
Bytes ReadWholeBody(transport::Request& request, PumpAt pumpAt, transport::Failure& failure);

}  // namespace pakeno
