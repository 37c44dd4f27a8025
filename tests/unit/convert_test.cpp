#include "encoding/convert.h"

#include <iconv.h>

#include <gtest/gtest.h>

namespace pakeno {
namespace {

Bytes Repeat(std::string_view piece, int times) {
  Bytes out;
  for (int i = 0; i < times; ++i) out.append(piece);
  return out;
}

struct ConvertCase {
  const char* name;
  Bytes input;
  const char* from;
  const char* to;
  bool ok;
  Bytes expected;
};

TEST(ConvertEncoding, Table) {
  const ConvertCase cases[] = {
      {"ascii unchanged", "GET /a?b=c HTTP", "UTF-8", "GB18030", true, "GET /a?b=c HTTP"},
      {"marker", "\xE6\x9C\x80\xE6\x96\xB0\xE7\x89\x88\xE6\x9C\xAC\xE5\x8F\xB7\xEF\xBC\x9A", "UTF-8", "GB18030", true,
       "\xD7\xEE\xD0\xC2\xB0\xE6\xB1\xBE\xBA\xC5\xA3\xBA"},
      {"empty", "", "UTF-8", "GB18030", true, ""},
      {"bom", "\xEF\xBB\xBFx", "UTF-8", "GB18030", true, "\x84\x31\x95\x33x"},
      {"nul kept", Bytes("a\0b", 3), "UTF-8", "GB18030", true, Bytes("a\0b", 3)},
      {"four-byte GB18030", "\xF0\x9F\x98\x80", "UTF-8", "GB18030", true, "\x94\x39\xFC\x36"},
      {"invalid at start", "\xFF" "abc", "UTF-8", "GB18030", false, ""},
      {"invalid in middle", "ab\xFF" "c", "UTF-8", "GB18030", false, ""},
      {"invalid at end", "abc\xFF", "UTF-8", "GB18030", false, ""},
      {"truncated sequence", "abc\xE6\x9C", "UTF-8", "GB18030", false, ""},
      {"unknown charset", "abc", "UTF-8", "NO-SUCH-CHARSET", false, ""},
      {"unknown source", "abc", "NO-SUCH-CHARSET", "UTF-8", false, ""},
      {"unknown and empty", "", "NO-SUCH", "UTF-8", false, ""},
      {"gbk to utf-8", "\xD6\xD0", "GBK", "UTF-8", true, "\xE4\xB8\xAD"},
      {"growth", Repeat("\xC2\xA9", 200), "UTF-8", "GB18030", true, Repeat("\x81\x30\x84\x38", 200)},
  };
  for (const ConvertCase& c : cases) {
    SCOPED_TRACE(c.name);
    bool succeeded = !c.ok;
    EXPECT_EQ(ConvertEncoding(c.input, c.from, c.to, &succeeded), c.expected);
    EXPECT_EQ(succeeded, c.ok);
    EXPECT_EQ(ConvertEncoding(c.input, c.from, c.to), c.expected);
  }
}

struct CallLog {
  static inline int calls = 0;
  static inline std::vector<size_t> areas;
  static size_t Count(void* converter, char** in, size_t* inLeft, char** out, size_t* outLeft) {
    ++calls;
    areas.push_back(*outLeft);
    return iconv(static_cast<iconv_t>(converter), in, inLeft, out, outLeft);
  }
};

class CountedIconv : public ::testing::Test {
 protected:
  void SetUp() override {
    CallLog::calls = 0;
    CallLog::areas.clear();
    previous_ = detail::SetIconvCallForTesting(&CallLog::Count);
  }
  void TearDown() override { detail::SetIconvCallForTesting(previous_); }
  detail::IconvCall previous_ = nullptr;
};

TEST_F(CountedIconv, OutputAreaGrowsByHalfTheInputPlus128) {
  // 400 input bytes need 800 output bytes: 400 -> 728 -> 1056, three calls.
  bool ok = false;
  EXPECT_EQ(ConvertEncoding(Repeat("\xC2\xA9", 200), "UTF-8", "GB18030", &ok).size(), 800u);
  EXPECT_TRUE(ok);
  EXPECT_EQ(CallLog::calls, 3);
  // Room at each call: the whole area, then what is left after each step of 328.
  EXPECT_EQ(CallLog::areas, (std::vector<size_t>{400, 328, 328}));
}

TEST_F(CountedIconv, GivesUpAfterElevenEnlargements) {
  // No real target grows past n + 11 * (n / 2 + 128), so an iconv that
  // always reports a full area stands in for one.
  detail::SetIconvCallForTesting([](void*, char**, size_t*, char**, size_t*) -> size_t {
    ++CallLog::calls;
    errno = E2BIG;
    return static_cast<size_t>(-1);
  });
  bool ok = true;
  EXPECT_EQ(ConvertEncoding("abc", "UTF-8", "GB18030", &ok), "");
  EXPECT_FALSE(ok);
  EXPECT_EQ(CallLog::calls, 12);
}

TEST_F(CountedIconv, PartialOutputIsNeverReturned) {
  // Grows twice, then meets an invalid byte: the 600 bytes converted so far are dropped.
  bool ok = true;
  EXPECT_EQ(ConvertEncoding(Repeat("\xC2\xA9", 150) + "\xFF", "UTF-8", "GB18030", &ok), "");
  EXPECT_FALSE(ok);
  EXPECT_EQ(CallLog::calls, 3);
}

}  // namespace
}  // namespace pakeno
