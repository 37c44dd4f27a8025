// The transport's pure rules: header lines, redirects, server names and the
// path the cookie store matches against.

#include <gtest/gtest.h>

#include "cookies/public_suffix_rules.h"
#include "support/under_wine.h"
#include "transport/header_lines.h"
#include "transport/redirects.h"
#include "transport/request.h"
#include "transport/response_head.h"
#include "transport/server_address.h"

namespace pakeno::transport {
namespace {

using Lines = std::vector<std::string>;

std::string Repeated(std::string_view piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(HeaderLines, SplitNameMergeRemove) {
  EXPECT_EQ(SplitHeaderLines(""), Lines{});
  EXPECT_EQ(SplitHeaderLines("A: 1\r\nB: 2\r\n"), (Lines{"A: 1", "B: 2"}));
  EXPECT_EQ(SplitHeaderLines("A: 1\r\n\r\nB: 2"), (Lines{"A: 1", "B: 2"}));  // empty lines skipped, last one kept
  EXPECT_EQ(SplitHeaderLines("A: 1\nB: 2"), (Lines{"A: 1\nB: 2"}));          // only CR LF ends a line

  EXPECT_EQ(HeaderName("Content-Type: x"), "Content-Type");
  EXPECT_EQ(HeaderName("no colon"), "");

  Lines lines{"Accept: a", "X: 1"};
  MergeHeaderLine(lines, "accept: b");  // any letter case replaces
  MergeHeaderLine(lines, "Y: 2");
  MergeHeaderLine(lines, "nameless");
  MergeHeaderLine(lines, "nameless");  // a line without a name is always added
  EXPECT_EQ(lines, (Lines{"accept: b", "X: 1", "Y: 2", "nameless", "nameless"}));
  EXPECT_TRUE(HasHeader(lines, "ACCEPT"));
  EXPECT_FALSE(HasHeader(lines, "Accept-Language"));
  RemoveHeaders(lines, {"x", "Y"});
  EXPECT_EQ(lines, (Lines{"accept: b", "nameless", "nameless"}));

  EXPECT_FALSE(BreaksTheLine("/a b?q=\xD6\xD0"));
  for (const std::string& bad :
       {std::string("/a\r\nX: 1"), std::string("/a\n"), std::string("/a\r"), std::string("/a\0b", 4)}) {
    EXPECT_TRUE(BreaksTheLine(bad));
  }
}

TEST(RequestRefusal, TargetsThatWouldBreakTheRequestLine) {
  const struct {
    std::string target;
    FailureKind kind;
  } cases[] = {
      {"/p?q=\xD6\xD0&r=%20\xA1\xA1", FailureKind::kNone},  // GBK, escapes and the full-width space go as typed
      {"/p?q=1 ", FailureKind::kTargetCharacters},          // a blank would end the target early
      {"/a b", FailureKind::kTargetCharacters},
      {"/a\tb", FailureKind::kTargetCharacters},
      {"/a\x7F", FailureKind::kTargetCharacters},
      {std::string("/a\0b", 4), FailureKind::kTargetCharacters},
      {"/a\r\nX: 1", FailureKind::kTargetCharacters},
      {"/" + std::string(kMaxTargetBytes, 'a'), FailureKind::kTargetTooLong},
  };
  for (const auto& c : cases) EXPECT_EQ(RequestRefusal(c.target, {}).kind, c.kind) << c.target.substr(0, 40);
  EXPECT_EQ(RequestRefusal("/", {"X: 1\r\nY: 2"}).kind, FailureKind::kHeaderLine);
}

TEST(Redirects, WhichAreFollowedAndWhichBecomeGet) {
  const struct {
    long status;
    const char* verb;
    bool followed, becomesGet;
  } cases[] = {
      {301, "POST", true, true},  {302, "POST", true, true},   {303, "POST", true, true},  {307, "POST", true, false},
      {308, "POST", true, false}, {301, "GET", true, false},   {303, "GET", true, true},   {303, "HEAD", true, true},
      {302, "post", true, true},  {300, "POST", false, false}, {304, "GET", false, false}, {200, "GET", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsRedirect(c.status), c.followed) << c.status;
    if (c.followed) {
      EXPECT_EQ(RedirectBecomesGet(c.status, c.verb), c.becomesGet) << c.status << " " << c.verb;
    }
  }
}

TEST(Redirects, WhatTheNextHopTakesAlong) {
  const Lines callers{"Referer: http://a.test/form?x=1", "Authorization: Basic eA==", "Cookie: mine=1",
                      "Content-Type: application/x-www-form-urlencoded", "Content-Length: 3"};
  const struct {
    long status;
    const char* to;
    HopRequest expected;
  } cases[] = {
      {307, "a.test", {"POST", "a=1", callers}},
      {302, "a.test", {"GET", "", Lines(callers.begin(), callers.begin() + 3)}},
      {307, "b.test", {"POST", "a=1", Lines(callers.begin() + 3, callers.end())}},
      {303, "b.test", {"GET", "", {}}},
  };
  for (const auto& c : cases) {
    HopRequest request{"POST", "a=1", callers};
    PrepareNextHop(request, c.status, "a.test", c.to);
    EXPECT_EQ(request.verb, c.expected.verb) << c.status << " " << c.to;
    EXPECT_EQ(request.body, c.expected.body) << c.status << " " << c.to;
    EXPECT_EQ(request.headerLines, c.expected.headerLines) << c.status << " " << c.to;
  }
  EXPECT_EQ(RedirectRefusal(false, "http://b.test/", 0, 10).kind, FailureKind::kNone);
  EXPECT_EQ(RedirectRefusal(true, "https://b.test/", 9, 10).kind, FailureKind::kNone);
  EXPECT_EQ(RedirectRefusal(true, "http://b.test/", 0, 10).reason, "a redirect from https to plain http was refused");
  EXPECT_EQ(RedirectRefusal(true, "HTTP://b.test/", 0, 10).kind, FailureKind::kRedirectToHttp);
  EXPECT_EQ(RedirectRefusal(false, "http://b.test/", 10, 10).reason, "more than 10 redirects");
  EXPECT_EQ(RedirectRefusal(false, "http://b.test/", 10, 10).kind, FailureKind::kTooManyRedirects);
}

TEST(Redirects, LocationsResolveAgainstTheHop) {
  const std::string longGbk = "/" + Repeated("\xD6\xD0", 3000);
  const struct {
    std::string base, location, expected;
  } cases[] = {
      {"http://a.test/x/y?q=1", "/z", "http://a.test/z"},
      {"http://a.test/x/y?q=1", "z", "http://a.test/x/z"},
      {"http://a.test/x/y", "?p=2", "http://a.test/x/y?p=2"},
      {"http://a.test/x/y?q=1", "", "http://a.test/x/y?q=1"},
      {"http://a.test/x/y", "#top", "http://a.test/x/y#top"},
      {"http://a.test/x/y/z", "../w", "http://a.test/x/w"},
      {"http://a.test/x/y", "./v/../w/./u", "http://a.test/x/w/u"},
      {"http://a.test/x", "/../../w", "http://a.test/w"},
      {"http://a.test", "z", "http://a.test/z"},
      {"http://a.test:81/x", "//b.test/w", "http://b.test/w"},
      {"http://a.test/x", "https://b.test:8443/", "https://b.test:8443/"},
      {"http://a.test/x", "HTTPS://b.test", "https://b.test/"},
      {"http://a.test/x", "/a b\t", "http://a.test/a%20b%09"},  // blanks in a Location are escaped
      {"http://a.test/x", "/\xD6\xD0?q=\xCE\xC4", "http://a.test/\xD6\xD0?q=\xCE\xC4"},  // GBK stays GBK
      {"http://a.test/x", longGbk, "http://a.test" + longGbk},                           // however long
      {"http://a.test/x", "http://u:p@b.test/", "http://u:p@b.test/"},  // the request takes no credentials from it
      {"http://a.test/x", "ftp://b.test/", "ftp://b.test/"},            // resolved; the transfer takes http(s) only
      {"http://a.test/x", "http://[bad", ""},                           // no address at all
      {"http://a.test/x", "http://b.test:99999/", ""},
      {"http://a.test/x", "http://b<c.test/", ""},
      {"not an address", "/z", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ResolveLocation(c.base, c.location), c.expected) << c.location.substr(0, 40);
  EXPECT_EQ(HostOfAddress("http://Sub.Example.TEST:81/x"), "sub.example.test");
  EXPECT_EQ(HostOfAddress("http://[::1]:81/x"), "[::1]");
  EXPECT_EQ(HostOfAddress("not an address"), "");
  const CookieOrigin origin = CookieOriginOf("HTTPS://A.test:8443/shop/\xD6\xD0 x?q=1#f");
  EXPECT_TRUE(origin.secure);
  EXPECT_EQ(origin.host, "a.test");
  EXPECT_EQ(origin.path, "/shop/%D6%D0%20x");
}

TEST(Addresses, CrackUrlGivesThePartsARequestNeeds) {
  const struct {
    const char* url;
    bool read;
    const char *host, *path;
    int port;
  } cases[] = {
      {"http://u:p@Host:81/a?b#c", true, "Host", "/a?b", 81},
      {"https://h", true, "h", "/", 443},
      {"HTTP://h:/x", true, "h", "/x", 80},
      {"http://[::1]:8080/", true, "[::1]", "/", 8080},
      {"ftp://h/", false, "", "", 0},
      {"http:///x", false, "", "", 0},
      {"http://h:8x/", false, "", "", 0},
      {"h/x", false, "", "", 0},
  };
  for (const auto& c : cases) {
    const std::optional<UrlParts> parts = CrackUrl(c.url);
    ASSERT_EQ(parts.has_value(), c.read) << c.url;
    if (!parts) continue;
    EXPECT_EQ(parts->host, c.host) << c.url;
    EXPECT_EQ(parts->path, c.path) << c.url;
    EXPECT_EQ(parts->port, c.port) << c.url;
  }
  EXPECT_EQ(CrackUrl("http://u:p@h/")->userName, "u");
  EXPECT_EQ(CrackUrl("http://u:p@h/")->password, "p");
  EXPECT_FALSE(CrackUrl("http://h/")->userName);
}

TEST(PublicSuffixRules, RulesWildcardsAndExceptions) {
  const PublicSuffixRules rules("// a comment\nuk\nco.uk\n\n*.ck\n!www.ck\ngithub.io trailing words\n");
  const struct {
    const char* host;
    const char* suffix;
    const char* domain;
    bool allowed;
  } cases[] = {
      {"shop.example.co.uk", "co.uk", "example.co.uk", true},
      {"shop.example.co.uk", "co.uk", ".example.co.uk", true},
      {"shop.example.co.uk", "co.uk", "co.uk", false},
      {"shop.example.co.uk", "co.uk", "ample.co.uk", false},
      {"a.b.ck", "b.ck", "b.ck", false},
      {"a.www.ck", "ck", "www.ck", true},
      {"x.github.io", "github.io", "github.io", false},
      {"github.io", "github.io", "github.io", true},  // a host's own name always
      {"host.unlisted", "unlisted", "host.unlisted", true},
      {"a.host.unlisted", "unlisted", "host.unlisted", true},
      {"1.2.3.4", "4", "2.3.4", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rules.SuffixOf(c.host), c.suffix) << c.host;
    EXPECT_EQ(rules.AllowsCookieDomain(c.host, c.domain), c.allowed) << c.host << " for " << c.domain;
  }
}

TEST(ServerAddress, NamesThatAreNoNamesAndCookiePaths) {
  for (const char* name : {"127.0.0.1", "srv", "a-b.example.test", "[::1]", "http.example", "httpss"})
    EXPECT_EQ(ServerNameRefusal(name).kind, FailureKind::kNone) << name;
  const struct {
    const char* name;
    FailureKind kind;
  } refused[] = {
      {"", FailureKind::kNoServer},
      {"u@srv", FailureKind::kServerName},
      {"srv?x", FailureKind::kServerName},
      {"srv#f", FailureKind::kServerName},
      {"srv/x", FailureKind::kServerName},
      {"srv\\x", FailureKind::kServerName},
      {"srv x", FailureKind::kServerName},
      {"srv\tx", FailureKind::kServerName},
      {"srv\x7F", FailureKind::kServerName},
      // A scheme typed without its "//" is no server, whatever a resolver says.
      {"http", FailureKind::kSchemeAsServer},
      {"HTTPS", FailureKind::kSchemeAsServer},
  };
  for (const auto& r : refused) {
    const Failure why = ServerNameRefusal(r.name);
    EXPECT_EQ(why.kind, r.kind) << r.name;
    EXPECT_TRUE(why.reason.starts_with("address refused: ")) << r.name;
  }
  EXPECT_EQ(CookiePathOf("/shop/cart.php?id=1#top"), "/shop/cart.php");
  EXPECT_EQ(CookiePathOf("/"), "/");
  EXPECT_EQ(CookiePathOf(""), "/");
  EXPECT_EQ(CookiePathOf("a\\b"), "/a%5Cb");
  EXPECT_EQ(CookiePathOf("/\xD6\xD0 x"), "/%D6%D0%20x");
  EXPECT_EQ(CookiePathOf("/a%20b"), "/a%20b");  // what is escaped already stays
}

}  // namespace
}  // namespace pakeno::transport
