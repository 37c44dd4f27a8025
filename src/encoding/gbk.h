#pragma once

// The window's boundary between GBK texts and the toolkit's Unicode. Both
// directions are lenient: nothing is dropped around a character that cannot
// be converted.

#include <string>
#include <string_view>

#include "base/types.h"

namespace pakeno {

// A character GBK cannot hold becomes "?", as an ANSI conversion does.
Text Utf8ToGbk(std::string_view utf8);

// A byte sequence that is not valid GBK becomes U+FFFD. `exact`, when given,
// tells whether none did: then Utf8ToGbk gives back `gbk` byte for byte.
std::string GbkToUtf8(std::string_view gbk, bool* exact = nullptr);

// GB18030, of which GBK is the two-byte part: the update page's text, which
// may hold any character.
std::string Gb18030ToUtf8(std::string_view gb18030);

// The tool's own fixed texts are written in UTF-8 source; this gives them in
// GBK, the form every text of the tool takes.
inline Text Gbk(std::string_view utf8) { return Utf8ToGbk(utf8); }

}  // namespace pakeno
