#pragma once

// The date of a cookie's Expires attribute, read as browsers read it: the
// lenient token rules of RFC 6265 (5.1.1), which take every date format
// servers are known to write. Pure, no clock, no locale.

#include <cstdint>
#include <optional>
#include <string_view>

namespace pakeno::transport {

// Seconds since 1970-01-01 00:00:00 UTC; nothing when the text is no date.
std::optional<int64_t> ParseCookieDate(std::string_view text);

}  // namespace pakeno::transport
