#pragma once

// The line the window shows under its buttons after each request, so the
// user can tell an empty answer from a failure: the status, size and time of
// the answer, or "发送失败：" and why, in Chinese. The English failure line on
// standard error stays as it is; this is its counterpart for the window.

#include <chrono>

#include "base/types.h"
#include "http/request_outcome.h"

namespace pakeno {

struct OutcomeLine {
  Text text;  // GBK
  bool error = false;
};

// `elapsed`: from the press to the last byte.
OutcomeLine DescribeOutcome(const RequestOutcome& outcome, std::chrono::milliseconds elapsed);

// One Chinese sentence per class of failure, GBK.
Text FailureSentence(transport::FailureKind kind);

}  // namespace pakeno
