#include "text/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/ascii.h"

namespace pakeno {
namespace {

bool IsLeadByte(unsigned char c) { return c >= 0x80; }

bool MatchesAt(std::string_view text, size_t at, std::string_view what, bool ignoreCase) {
  if (text.size() - at < what.size()) return false;
  for (size_t i = 0; i < what.size(); ++i) {
    unsigned char a = text[at + i];
    unsigned char b = what[i];
    if (ignoreCase ? AsciiLower(a) != AsciiLower(b) : a != b) return false;
  }
  return true;
}

// From `i` on, steps over single-byte characters that are neither `a` nor
// `b`, eight bytes at a time: a search through a long page spends its time here.
size_t SkipPlainBytes(std::string_view text, size_t i, unsigned char a, unsigned char b) {
  constexpr uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;
  const uint64_t patternA = kOnes * a, patternB = kOnes * b;
  auto hasZeroByte = [](uint64_t v) { return ((v - kOnes) & ~v & kHighs) != 0; };
  while (i + 8 <= text.size()) {
    uint64_t v;
    std::memcpy(&v, text.data() + i, 8);
    if ((v & kHighs) || hasZeroByte(v ^ patternA) || hasZeroByte(v ^ patternB)) break;
    i += 8;
  }
  return i;
}

}  // namespace

int TextFind(std::string_view text, std::string_view what, int start, bool ignoreCase) {
  if (start < 1) start = 1;
  const size_t from = static_cast<size_t>(start) - 1;
  if (from >= text.size()) return -1;
  if (what.empty()) return 1;
  // Walk from the first byte so that character boundaries are known even
  // when the search starts in the middle of the text.
  const unsigned char first = ignoreCase ? AsciiLower(what[0]) : what[0];
  for (size_t i = 0; i < text.size();) {
    i = SkipPlainBytes(text, i, first, ignoreCase ? AsciiUpper(first) : first);
    if (i >= text.size()) break;
    const unsigned char c = text[i];
    if (c < 0x80 && (ignoreCase ? AsciiLower(c) : c) != first) {
      ++i;
      continue;
    }
    if (i >= from && MatchesAt(text, i, what, ignoreCase)) {
      // A position the result cannot hold is no position: "not found".
      return i < static_cast<size_t>(std::numeric_limits<int>::max()) ? static_cast<int>(i) + 1 : -1;
    }
    i += (IsLeadByte(text[i]) && i + 1 < text.size()) ? 2 : 1;
  }
  return -1;
}

int TextCompare(std::string_view a, std::string_view b) {
  const int c = a.compare(b);  // char_traits<char>::compare is unsigned (memcmp)
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

Text TextJoin(std::initializer_list<std::string_view> parts) {
  Text joined;
  for (std::string_view part : parts) joined.append(part);
  return joined;
}

Text TextLeft(std::string_view text, int count) {
  if (count <= 0) return {};
  return Text(text.substr(0, static_cast<size_t>(count)));
}

Text TextRight(std::string_view text, int count) {
  if (count <= 0) return {};
  const size_t n = std::min(text.size(), static_cast<size_t>(count));
  return Text(text.substr(text.size() - n));
}

Text TextMiddle(std::string_view text, int start, int count) {
  if (start < 1 || static_cast<size_t>(start) > text.size() || count <= 0) return {};
  return Text(text.substr(static_cast<size_t>(start) - 1, static_cast<size_t>(count)));
}

Text TextLower(std::string_view text) {
  Text lower(text);
  for (size_t i = 0; i < lower.size(); ++i) {
    unsigned char c = lower[i];
    if (IsLeadByte(c)) {
      ++i;  // the trail byte may look like an ASCII capital; leave it alone
      continue;
    }
    lower[i] = static_cast<char>(AsciiLower(c));
  }
  return lower;
}

Text FoldFullWidth(std::string_view text) {
  Text folded;
  folded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = text[i];
    if (!IsLeadByte(c)) {
      folded.push_back(static_cast<char>(c));
      continue;
    }
    if (i + 1 >= text.size()) {
      folded.push_back(static_cast<char>(c));
      break;
    }
    const unsigned char trail = text[i + 1];
    if (c == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
      folded.push_back(static_cast<char>(trail - 0x80));
    } else if (c == 0xA1 && trail == 0xA1) {
      folded.push_back(' ');
    } else {
      folded.push_back(static_cast<char>(c));
      folded.push_back(static_cast<char>(trail));
    }
    ++i;
  }
  return folded;
}

double TextToNumber(std::string_view text) {
  const Text folded = FoldFullWidth(text);
  // Read as atof does, but independent of the process locale (the GUI
  // framework sets it from the environment, which may change the decimal point).
  const char* p = folded.data();
  const char* end = p + folded.size();
  while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = (*p++ == '-');
  // One sign only: from_chars would take a second "-" as the number's own.
  if (p < end && (*p == '+' || *p == '-')) return 0;
  auto format = std::chars_format::general;
  if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    format = std::chars_format::hex;
    p += 2;
  }
  double value = 0;
  const auto [last, error] = std::from_chars(p, end, value, format);
  if (error == std::errc::result_out_of_range) {
    // from_chars leaves the value alone; atof gives HUGE_VAL, or 0 on underflow.
    const char* exponent = std::find_if(p, last, [format](char c) {
      return format == std::chars_format::hex ? (c == 'p' || c == 'P') : (c == 'e' || c == 'E');
    });
    value = (exponent + 1 < last && exponent[1] == '-') ? 0.0 : HUGE_VAL;
  } else if (error != std::errc()) {
    value = 0;
  }
  return negative ? -value : value;
}

int TruncateToInt(double value) {
  if (std::isnan(value)) return 0;
  // Out-of-range values saturate instead of invoking undefined behaviour.
  if (value >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (value <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

std::vector<Text> TextSplit(std::string_view text, std::string_view separator) {
  std::vector<Text> parts;
  if (separator.empty()) return {Text(text)};
  size_t cut = 0;
  for (size_t i = 0; i < text.size();) {
    if (MatchesAt(text, i, separator, false)) {
      parts.emplace_back(text.substr(cut, i - cut));
      i += separator.size();
      cut = i;
      continue;
    }
    i += (IsLeadByte(text[i]) && i + 1 < text.size()) ? 2 : 1;
  }
  if (cut < text.size()) parts.emplace_back(text.substr(cut));
  return parts;
}

}  // namespace pakeno
