#pragma once

// What became of one request, for the line the window shows after it: the
// final response, or why there was none to show.

#include <cstdint>

#include "transport/failure.h"
#include "transport/request.h"

namespace pakeno {

struct RequestOutcome {
  transport::ResponseSummary response;  // status 0 when none came
  uint64_t bodyBytes = 0;
  transport::Failure failure;
};

}  // namespace pakeno
