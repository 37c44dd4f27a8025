#include "text/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>

#include "support/zero_pages.h"

namespace pakeno {
namespace {

struct FindCase {
  std::string_view text, what;
  int start;
  bool ignoreCase;
  int expected;
};

TEST(TextFind, Table) {
  const FindCase cases[] = {
      {"abcabc", "bc", 1, false, 2},
      {"abcabc", "bc", 3, false, 5},
      {"abcabc", "bc", 0, false, 2},  // a start below 1 counts as 1
      {"abcabc", "bc", -5, false, 2},
      {"abcabc", "BC", 1, false, -1},
      {"abcabc", "BC", 1, true, 2},
      {"abc", "", 1, false, 1},  // empty search text: 1 when something follows the start
      {"abc", "", 3, false, 1},  // 1, not the start
      {"abc", "", 4, false, -1},
      {"", "", 1, false, -1},
      {"", "a", 1, false, -1},
      {"abc", "abcd", 1, false, -1},
      {"abc", "c", 7, false, -1},
      // 0x81 0x5C is one character: its second byte is no backslash.
      {"\x81\x5C\\", "\\", 1, false, 3},
      {"\x81/x/", "/", 1, false, 4},
      {"\x81\x5C", "\\", 1, false, -1},
      // A search that starts on a trail byte still respects the character.
      {"\x81\x5C\\", "\\", 2, false, 3},
      // Case folding touches ASCII only: 0xC1 is not a capital of 0xE1.
      {"\xE1\xA1", "\xC1\xA1", 1, true, -1},
      {"X-Accept: a", "accept: ", 1, true, 3},
      // A lone lead byte at the very end is still searchable.
      {"ab\x81", "\x81", 1, false, 3},
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(TextFind(c.text, c.what, c.start, c.ignoreCase), c.expected)
        << "text=" << c.text << " what=" << c.what << " start=" << c.start;
  }
}

TEST(TextFind, APositionBeyondTheResultTypeIsNotFound) {
  // 2 GiB and a little of untouched zero pages: no memory is really used.
  const size_t size = (size_t{1} << 31) + 16;
  const testing::ZeroPages area(size);
  ASSERT_NE(area.data(), nullptr);
  std::memcpy(area.data() + size - 8, "<marker", 7);
  const std::string_view text(area.data(), size);
  EXPECT_EQ(TextFind(text, "<marker"), -1);  // not a wrapped, negative or small position
  EXPECT_EQ(TextFind(text.substr(size - 100), "<marker"), 93);
}

TEST(TextCompare, UnsignedBytewise) {
  EXPECT_EQ(TextCompare("", ""), 0);
  EXPECT_EQ(TextCompare("a", "a"), 0);
  EXPECT_EQ(TextCompare("a", "b"), -1);
  EXPECT_EQ(TextCompare("b", "a"), 1);
  EXPECT_EQ(TextCompare("a", "A"), 1);  // case-sensitive
  EXPECT_EQ(TextCompare("ab", "a"), 1);
  EXPECT_EQ(TextCompare("\x80", "\x7f"), 1);  // 0x80 is above 0x7F, not negative
}

TEST(TextCut, LeftRightMiddle) {
  EXPECT_EQ(TextLeft("abcdef", 2), "ab");
  EXPECT_EQ(TextLeft("abc", 10), "abc");
  EXPECT_EQ(TextLeft("abc", 0), "");
  EXPECT_EQ(TextLeft("abc", -1), "");
  EXPECT_EQ(TextRight("abcdef", 2), "ef");
  EXPECT_EQ(TextRight("abc", 10), "abc");
  EXPECT_EQ(TextRight("abc", -3), "");
  EXPECT_EQ(TextMiddle("abcdef", 2, 3), "bcd");
  EXPECT_EQ(TextMiddle("abcdef", 5, 10), "ef");
  EXPECT_EQ(TextMiddle("abcdef", 0, 2), "");
  EXPECT_EQ(TextMiddle("abcdef", 7, 1), "");
  EXPECT_EQ(TextMiddle("abcdef", 1, 0), "");
  EXPECT_EQ(TextLeft("\xD6\xD0", 1), "\xD6");  // cutting counts plain bytes
  EXPECT_EQ(TextJoin({"a", "", "bc", "d"}), "abcd");
}

TEST(TextLower, AsciiOnlyAndDoubleByteWhole) {
  EXPECT_EQ(TextLower("AbC-Z09"), "abc-z09");
  // 0x81 0x41: the trail byte looks like "A" and must stay.
  EXPECT_EQ(TextLower("\x81\x41X"), "\x81\x41x");
  EXPECT_EQ(TextLower("\xC1\xC2"), "\xC1\xC2");
}

TEST(TextToNumber, NumberRule) {
  const struct {
    std::string_view text;
    double expected;
  } cases[] = {
      {"8080", 8080},
      {"  42", 42},
      {"\t-7", -7},
      {"+3", 3},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {"1.5", 1.5},
      {"1e3", 1000},
      {"2E-1", 0.2},
      {"1e", 1},
      {".5", 0.5},
      {"\xA3\xB8\xA3\xB0", 80},           // full-width digits
      {"\xA1\xA1\xA3\xB1\xA3\xB2", 12},   // full-width space before them
      {"\xA3\xAD\xA3\xB5", -5},           // full-width minus
      {"\xA3\xB1\xA3\xAE\xA3\xB5", 1.5},  // full-width point
      {"8\xD6\xD0", 8},                   // junk after digits
      {"0x10", 16},                       // atof reads hexadecimal too
      {"1e999", HUGE_VAL},
      {"1e-999", 0},
      {"+-5", 0},  // one sign only
      {"--5", 0},
      {"-+5", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToNumber(c.text), c.expected) << c.text;
  EXPECT_EQ(FoldFullWidth("\xA3\xC1\xA1\xA1\xD6\xD0"), "A \xD6\xD0");
  EXPECT_EQ(FoldFullWidth("\xA3"), "\xA3");  // a cut-off lead byte is kept
}

TEST(TruncateToInt, TowardZeroAndSaturating) {
  EXPECT_EQ(TruncateToInt(2.9), 2);
  EXPECT_EQ(TruncateToInt(-2.9), -2);
  EXPECT_EQ(TruncateToInt(1e20), INT_MAX);
  EXPECT_EQ(TruncateToInt(-1e20), INT_MIN);
  EXPECT_EQ(TruncateToInt(NAN), 0);
}

}  // namespace
}  // namespace pakeno

namespace pakeno {
namespace {

TEST(TextSplit, PartsRule) {
  using Parts = std::vector<Text>;
  EXPECT_EQ(TextSplit("", ":"), Parts{});
  EXPECT_EQ(TextSplit("abc", ":"), Parts{"abc"});
  EXPECT_EQ(TextSplit("a:b", ":"), (Parts{"a", "b"}));
  EXPECT_EQ(TextSplit("a:", ":"), Parts{"a"});        // no empty last part
  EXPECT_EQ(TextSplit(":a", ":"), (Parts{"", "a"}));  // an empty first part counts
  EXPECT_EQ(TextSplit("a::b", ":"), (Parts{"a", "", "b"}));
  EXPECT_EQ(TextSplit("1.0.1.", "."), (Parts{"1", "0", "1"}));
  EXPECT_EQ(TextSplit("x&amp;y&amp;z", "amp;"), (Parts{"x&", "y&", "z"}));
  // 0x81 0x3A is one character; its second byte is no ":".
  EXPECT_EQ(TextSplit("\x81:b", ":"), Parts{"\x81:b"});
}

}  // namespace
}  // namespace pakeno
