#pragma once

// Reading the update page: the version text and the download address, cut
// out of the page's text (converted to GB18030, of which GBK is the
// two-byte part) between a marker and the next "<".

#include <optional>
#include <string_view>

#include "base/types.h"

namespace pakeno {

// What follows the first `startMarker`, up to the first `endMarker` after it;
// empty when either is missing or the end marker follows at once. Both
// searches step over double-byte characters.
Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker);

// The number rule of version texts: full-width forms folded, leading white
// space skipped, an optional sign, decimal digits up to the first other
// byte; 0 without digits. Saturates instead of overflowing.
int ReadVersionNumber(std::string_view text);

struct Announcement {
  int version = 0;  // the first three version parts, joined and read as a number
  Text address;     // the download address, "&amp;" read as "&" and cut at a second one; may be empty
};

// Empty when the version text has fewer than three parts.
std::optional<Announcement> ParseUpdatePage(std::string_view pageText);

// Only a plain web address may go to the browser: the page comes over plain
// http, and the system's "open" would run a program or a local file for
// anything else.
bool IsSafeToOpen(std::string_view address);

}  // namespace pakeno
