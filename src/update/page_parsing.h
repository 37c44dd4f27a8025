#pragma once

// Reading the update page: the version text and the download address, cut
// out of the page's text (converted to GB18030, of which GBK is the
// two-byte part) between a marker and the next "<".

#include <array>
#include <optional>
#include <string>
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

// A version's first three parts, each read by the number rule, compared
// part by part: 1.0.10 is newer than 1.0.9, 0.99.99 older than 1.0.0.
using Version = std::array<int, 3>;

// Nothing when the text has fewer than three parts.
std::optional<Version> ParseVersion(std::string_view text);

struct Announcement {
  Version version{};
  Text address;  // the download address, "&amp;" read as "&" and cut at a second one; may be empty
};

// Empty when the version text has fewer than three parts.
std::optional<Announcement> ParseUpdatePage(std::string_view pageText);

// Why `address` may not go to the browser; empty when it may. Only a plain
// web address may: the page comes over plain http, and the system's "open"
// would run a program or a local file for anything else, or a shell would
// read quotes and blanks in it. Bytes of 0x80 and above (a path in Chinese,
// an emoji) are the page's own and pass.
std::string WhyNotToOpen(std::string_view address);
inline bool IsSafeToOpen(std::string_view address) { return WhyNotToOpen(address).empty(); }

}  // namespace pakeno
