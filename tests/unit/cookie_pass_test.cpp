#include "http/cookie_pass.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace pakeno {
namespace {

using Cookies = std::vector<std::pair<std::string, std::string>>;

Cookies Pass(std::string_view block) {
  Cookies found;
  CookiePass(block, [&](std::string_view name, std::string_view data) { found.emplace_back(name, data); });
  return found;
}

TEST(CookiePass, LinesAndMarkers) {
  const struct {
    const char* name;
    std::string block;
    Cookies expected;
  } cases[] = {
      {"attributes kept", "HTTP/1.1 200 OK\r\nSet-Cookie: a=b; path=/\r\n\r\n", {{"a", "b; path=/"}}},
      {"any letter case", "SET-COOKIE: x=1\r\nset-cookie: y=2\r\n", {{"x", "1"}, {"y", "2"}}},
      {"bare LF", "Set-Cookie: a=1\nSet-Cookie: b=2", {{"a", "1"}, {"b", "2"}}},
      {"NUL ends a line", std::string("Set-Cookie: a=1\0Set-Cookie: b=2\r\n", 33), {{"a", "1"}, {"b", "2"}}},
      {"0x1A ends a line", "Set-Cookie: a=1\x1ASet-Cookie: b=2", {{"a", "1"}, {"b", "2"}}},
      {"value holds =", "Set-Cookie: t=a=b==\r\n", {{"t", "a=b=="}}},
      {"no =", "Set-Cookie: lonely\r\n", {{"", "lonely"}}},
      {"empty value", "Set-Cookie: e=\r\n", {{"e", ""}}},
      // Deliberate fix: only a Set-Cookie header counts, not a line that contains the marker.
      {"marker inside another header", "X-Set-Cookie: a=b\r\nX: Set-Cookie: c=d\r\n", {}},
      {"marker needs its space", "Set-Cookie:a=b\r\n", {}},
      {"empty block", "", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Pass(c.block), c.expected) << c.name;
}

}  // namespace
}  // namespace pakeno
