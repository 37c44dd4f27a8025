#pragma once

// Text operations on GBK byte strings: 1-based positions, -1 for "not found".
// Searches and case conversion step over a double-byte character (lead byte
// 0x80 or above) whole; cutting counts plain bytes and may split one.

#include <initializer_list>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace pakeno {

int TextFind(std::string_view text, std::string_view what, int start = 1, bool ignoreCase = false);
int TextCompare(std::string_view a, std::string_view b);
Text TextJoin(std::initializer_list<std::string_view> parts);

Text TextLeft(std::string_view text, int count);
Text TextRight(std::string_view text, int count);
Text TextMiddle(std::string_view text, int start, int count);
Text TextLower(std::string_view text);

// Full-width GBK forms of printable ASCII (A3 A1..A3 FE) and the ideographic
// space (A1 A1) become their ASCII forms; everything else is kept.
Text FoldFullWidth(std::string_view text);

// The number rule: fold full-width forms, then read a decimal real as atof does.
double TextToNumber(std::string_view text);

int TruncateToInt(double value);

// Splits at every occurrence of `separator` (which must not be empty),
// stepping over double-byte characters. An empty part at the start or between
// two separators counts; an empty last part does not, so "" gives no parts
// and "a:" gives one.
std::vector<Text> TextSplit(std::string_view text, std::string_view separator);

}  // namespace pakeno
