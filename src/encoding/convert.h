#pragma once

#include <cstddef>
#include <string_view>

#include "base/types.h"

namespace pakeno {

// Converts data from one named character set to another with iconv. The
// result is empty on any failure (unknown charset, invalid or truncated
// input, output still too small after 11 enlargements); a partial output is
// never returned. `succeeded`, when given, tells a failure from an empty input.
Bytes ConvertEncoding(std::string_view data, std::string_view fromCharset, std::string_view toCharset,
                      bool* succeeded = nullptr);

}  // namespace pakeno
