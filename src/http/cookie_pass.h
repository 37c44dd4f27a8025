#pragma once

#include <functional>
#include <string_view>

namespace pakeno {

using CookieSink = std::function<void(std::string_view name, std::string_view data)>;

// Reads a raw response header block line by line (a line ends at LF, NUL,
// 0x1A or the end; a CR before the end is dropped) and hands the name and
// data of every line that begins with "Set-Cookie: " (any letter case) to
// `store`: the name up to the first "=", the data after it, attributes
// included; without "=", an empty name and the whole rest. Pending window
// events run after each line.
void CookiePass(std::string_view headerBlock, const CookieSink& store);

}  // namespace pakeno
