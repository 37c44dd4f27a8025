#include "cookies/cookie_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "cookies/cookie_date.h"
#include "cookies/public_suffix.h"
#include "support/scoped_setting.h"

namespace pakeno::transport {
namespace {

constexpr int64_t kNow = 1'800'000'000;

CookieOrigin At(std::string_view url) {
  CookieOrigin origin;
  origin.secure = url.starts_with("https://");
  url.remove_prefix(url.find("://") + 3);
  const size_t slash = url.find('/');
  origin.host = url.substr(0, slash);
  if (slash != std::string_view::npos) origin.path = url.substr(slash);
  return origin;
}

struct Set {
  const char* from;
  std::string cookie;
  bool stored = true;
};

TEST(CookieJar, WhatGoesBackWhere) {
  const struct {
    const char* name;
    std::vector<Set> sets;
    const char* to;
    const char* line;
  } cases[] = {
      {"no path: the request's directory",
       {{"http://a.test/cookies/noattr.php", "na=n1"}},
       "http://a.test/cookies/x",
       "na=n1"},
      {"... and not beside it", {{"http://a.test/cookies/noattr.php", "na=n1"}}, "http://a.test/bbsx.php", ""},
      {"a path that is no path", {{"http://a.test/d/p", "a=1; path=x"}}, "http://a.test/d/", "a=1"},
      {"set twice, kept once",
       {{"http://a.test/p", "a=1"}, {"http://a.test/p", "a=2; Path=/"}},
       "http://a.test/",
       "a=2"},
      {"longest path first",
       {{"http://a.test/", "a=1; path=/"}, {"http://a.test/", "b=2; path=/shop"}},
       "http://a.test/shop/x",
       "b=2; a=1"},
      {"Max-Age=0 deletes",
       {{"http://a.test/", "r=me; path=/"}, {"http://a.test/", "r=; path=/; Max-Age=0"}},
       "http://a.test/",
       ""},
      {"an Expires in the past deletes",
       {{"http://a.test/", "r=me; path=/"}, {"http://a.test/", "r=x; path=/; expires=Thu, 01 Jan 1970 00:00:01 GMT"}},
       "http://a.test/",
       ""},
      {"Max-Age wins over Expires",
       {{"http://a.test/", "r=me; Max-Age=60; expires=Thu, 01 Jan 1970 00:00:01 GMT"}},
       "http://a.test/",
       "r=me"},
      {"host only", {{"http://a.test/", "a=1"}}, "http://www.a.test/", ""},
      {"for its domain", {{"http://www.shop.cn/", "a=1; domain=.shop.cn"}}, "http://img.shop.cn/", "a=1"},
      {"not another host's", {{"http://a.test/", "a=1; domain=b.test", false}}, "http://b.test/", ""},
      {"not a public suffix", {{"http://shop.com.cn/", "a=1; domain=com.cn", false}}, "http://other.com.cn/", ""},
      {"not for an address", {{"http://127.0.0.1/", "a=1; domain=0.0.1", false}}, "http://127.0.0.1/", ""},
      {"Secure only from https", {{"http://a.test/", "s=1; Secure", false}}, "https://a.test/", ""},
      {"Secure only to https", {{"https://a.test/", "s=1; Secure"}}, "http://a.test/", ""},
      {"plain http replaces no Secure cookie",
       {{"https://a.test/", "s=good; Secure"}, {"http://a.test/", "s=evil", false}},
       "https://a.test/",
       "s=good"},
      {"__Secure- from https with Secure",
       {{"https://a.test/d/p", "__Secure-s=1; Secure"}},
       "https://a.test/d/",
       "__Secure-s=1"},
      {"__Secure- not from plain http", {{"http://a.test/", "__Secure-s=1", false}}, "http://a.test/", ""},
      {"__Secure- not without Secure", {{"https://a.test/", "__secure-s=1", false}}, "https://a.test/", ""},
      {"__Host- with Secure, Path=/ and no Domain",
       {{"https://www.shop.cn/x/y", "__Host-h=1; Secure; Path=/"}},
       "https://www.shop.cn/",
       "__Host-h=1"},
      {"__Host- not without Path=/",
       {{"https://a.test/x/y", "__Host-h=1; Secure", false}, {"https://a.test/", "__Host-h=2; Secure; Path=/x", false}},
       "https://a.test/x/",
       ""},
      {"__Host- not with a Domain, even its own",
       {{"https://www.shop.cn/", "__HOST-h=1; Secure; Path=/; Domain=www.shop.cn", false}},
       "https://www.shop.cn/",
       ""},
      {"__Host- not from plain http", {{"http://a.test/", "__Host-h=1; Secure; Path=/", false}}, "https://a.test/", ""},
      {"no name", {{"http://a.test/", "lonely", false}, {"http://a.test/", "=v", false}}, "http://a.test/", ""},
      {"no control bytes", {{"http://a.test/", "a=1\r\nX: y", false}}, "http://a.test/", ""},
      {"4096 bytes at most", {{"http://a.test/", "n=" + std::string(4096, 'v'), false}}, "http://a.test/", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CookieJar jar;
    for (const Set& set : c.sets) EXPECT_EQ(jar.Store(At(set.from), set.cookie, kNow), set.stored) << set.cookie;
    EXPECT_EQ(jar.CookieLineFor(At(c.to), kNow), c.line);
  }
}

TEST(CookieJar, ExpiredCookiesGoWithTheClock) {
  CookieJar jar;
  EXPECT_TRUE(jar.Store(At("http://a.test/"), "a=1; Max-Age=10", kNow));
  EXPECT_EQ(jar.CookieLineFor(At("http://a.test/"), kNow + 9), "a=1");
  EXPECT_EQ(jar.CookieLineFor(At("http://a.test/"), kNow + 10), "");
  EXPECT_EQ(jar.Count(), 0u);
}

size_t CountIn(const std::string& line) { return line.empty() ? 0 : std::count(line.begin(), line.end(), '=') + 0u; }

TEST(CookieJar, LimitsDropTheLeastRecentlyUsed) {
  CookieJar jar;
  // One response's 60 cookies all go back (libcurl alone kept 50).
  for (int i = 0; i < 60; ++i) jar.Store(At("http://a.test/"), "c" + std::to_string(i) + "=1", kNow);
  EXPECT_EQ(CountIn(jar.CookieLineFor(At("http://a.test/"), kNow)), 60u);
  // A site keeps 180: the one used a moment ago outlives older ones.
  jar.Store(At("http://keep.a.test/"), "kept=1", kNow);
  for (int i = 60; i < 179; ++i) jar.Store(At("http://a.test/"), "c" + std::to_string(i) + "=1", kNow);
  EXPECT_EQ(jar.CookieLineFor(At("http://keep.a.test/"), kNow), "kept=1");
  jar.Store(At("http://a.test/"), "c179=1", kNow);
  EXPECT_EQ(jar.Count(), CookieJar::kMaxPerSite);
  EXPECT_EQ(jar.CookieLineFor(At("http://keep.a.test/"), kNow), "kept=1");
  EXPECT_EQ(jar.CookieLineFor(At("http://a.test/"), kNow).find("c0=1"), std::string::npos);
  // The store keeps 3000 in all, whichever sites they come from.
  for (int site = 0; site < 40; ++site) {
    for (int i = 0; i < 100; ++i)
      jar.Store(At("http://s" + std::to_string(site) + ".test/"), "k" + std::to_string(i) + "=1", kNow);
  }
  EXPECT_EQ(jar.Count(), CookieJar::kMaxCookies);
  EXPECT_EQ(jar.CookieLineFor(At("http://a.test/"), kNow), "");  // the oldest site went first
  EXPECT_EQ(CountIn(jar.CookieLineFor(At("http://s39.test/"), kNow)), 100u);
}

TEST(CookieJar, WithoutThePublicSuffixListNoDomainCookieIsTaken) {
  const testing::ScopedSetting missing(SetPublicSuffixListMissingForTesting, true);
  CookieJar jar;
  EXPECT_FALSE(jar.Store(At("http://www.shop.cn/"), "a=1; domain=shop.cn", kNow));
  EXPECT_TRUE(jar.Store(At("http://www.shop.cn/"), "b=1", kNow));
  EXPECT_EQ(jar.CookieLineFor(At("http://www.shop.cn/"), kNow), "b=1");
}

TEST(CookieDate, TheFormatsServersWrite) {
  const struct {
    const char* text;
    std::optional<int64_t> seconds;
  } cases[] = {
      {"Thu, 01 Jan 1970 00:00:01 GMT", 1},
      {"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
      {"Sunday, 06-Nov-94 08:49:37 GMT", 784111777},
      {"Sun Nov  6 08:49:37 1994", 784111777},
      {"Wed, 09 Dec 2026 02:36:15 GMT", 1796783775},
      {"Fri, 29 Feb 2030 00:00:00 GMT", std::nullopt},  // no such day
      {"Sun, 06 Nov 1994 25:49:37 GMT", std::nullopt},
      {"tomorrow", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseCookieDate(c.text), c.seconds) << c.text;
}

}  // namespace
}  // namespace pakeno::transport
