#include "encoding/gbk.h"

#include <gtest/gtest.h>

namespace pakeno {
namespace {

TEST(GbkBoundary, RoundTrips) {
  const std::string_view texts[] = {"", "plain ascii", "\xD6\xD0\xCE\xC4 mixed \xB0\xE6", "\x81\x5C\\path",
                                    "\xA3\xB1\xA1\xA1"};
  for (std::string_view gbk : texts) EXPECT_EQ(Utf8ToGbk(GbkToUtf8(gbk)), gbk);
  EXPECT_EQ(GbkToUtf8("\xD6\xD0"), "\xE4\xB8\xAD");
  EXPECT_EQ(Utf8ToGbk("\xE4\xB8\xAD"), "\xD6\xD0");
}

TEST(GbkBoundary, CharacterOutsideGbkBecomesQuestionMark) {
  EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80"
                      "b"),
            "a?b");  // an emoji
  EXPECT_EQ(Utf8ToGbk("\xF0\x9F\x98\x80\xF0\x9F\x98\x80"), "??");
  EXPECT_EQ(Utf8ToGbk("x\xE4\xB8\xAD\xF0\x9F\x98\x80\xE4\xB8\xAD"), "x\xD6\xD0?\xD6\xD0");
}

TEST(GbkBoundary, InvalidUtf8LosesOnlyTheBadByte) {
  EXPECT_EQ(Utf8ToGbk("a\xFF"
                      "b"),
            "a?b");
  EXPECT_EQ(Utf8ToGbk("a\xF0"
                      "AB"),
            "a?AB");  // a cut-off 4-byte lead keeps what follows
  EXPECT_EQ(Utf8ToGbk("ab\xE4\xB8"), "ab?\?");
}

TEST(GbkBoundary, InvalidGbkBecomesReplacementCharacter) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(GbkToUtf8("\xFF"
                      "abc"),
            fffd + "abc");
  EXPECT_EQ(GbkToUtf8("ab\xFF"
                      "c"),
            "ab" + fffd + "c");
  EXPECT_EQ(GbkToUtf8("abc\xD6"), "abc" + fffd);                    // cut-off lead byte
  EXPECT_EQ(GbkToUtf8("\xD6\n\xD6\xD0"), fffd + "\n\xE4\xB8\xAD");  // the byte after a bad lead survives
  EXPECT_EQ(GbkToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace pakeno
