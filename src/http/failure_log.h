#pragma once

// The one trace a failed request leaves: the window shows nothing for it
// (the return box just becomes empty), so a line on standard error says which
// request failed and why, for the user who wants to know.

#include <functional>
#include <string_view>

namespace pakeno {

// Writes "pakeno: METHOD ADDRESS failed: REASON" as one line. The address is
// GBK, as typed; it is written as UTF-8, control bytes escaped, so that the
// line stays one line.
void LogFailedRequest(std::string_view method, std::string_view address, std::string_view reason);

// Where the lines go instead of standard error (an empty function restores
// it); returns the previous destination. For tests.
using FailureLogSink = std::function<void(std::string_view line)>;
FailureLogSink SetFailureLogSinkForTesting(FailureLogSink sink);

}  // namespace pakeno
