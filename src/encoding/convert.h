#pragma once

#include <cstddef>
#include <string_view>

#include "platform/types.h"

namespace pakeno {

// Converts data from one named character set to another with iconv. The
// result is empty on any failure (unknown charset, invalid or truncated
// input, output still too small after 11 enlargements); a partial output is
// never returned. `succeeded`, when given, tells a failure from an empty input.
Bytes ConvertEncoding(std::string_view data, std::string_view fromCharset, std::string_view toCharset,
                      bool* succeeded = nullptr);

namespace detail {
// The iconv conversion call, replaceable so tests can watch the output area grow.
using IconvCall = size_t (*)(void* converter, char** in, size_t* inLeft, char** out, size_t* outLeft);
IconvCall SetIconvCallForTesting(IconvCall call);  // returns the previous one
}  // namespace detail

}  // namespace pakeno
