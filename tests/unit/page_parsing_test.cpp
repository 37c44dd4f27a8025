#include "update/page_parsing.h"

#include <gtest/gtest.h>

#include <climits>

#include "base/version.h"
#include "encoding/gbk.h"
#include "text/text.h"

namespace pakeno {
namespace {

Text Page(std::string_view version, std::string_view address) {
  return "<p>" + Gbk("最新版本号：") + Text(version) + "</p><p>" + Gbk("下载地址：") + Text(address) + "</p>";
}

TEST(ParseUpdatePage, VersionTable) {
  const struct {
    std::string_view version;
    Version announced;
  } table[] = {
      {"1.0.1", {1, 0, 1}},
      {"1.0.10", {1, 0, 10}},
      {"0.99.99", {0, 99, 99}},
      {"1.0.0.9", {1, 0, 0}},
      {"1.0.1.", {1, 0, 1}},
      {"1..1", {1, 0, 1}},
      {" 1.0.1", {1, 0, 1}},
      {"a1.0.1", {0, 0, 1}},
      {"\xA3\xB1.\xA3\xB0.\xA3\xB1", {1, 0, 1}},  // full-width digits, ASCII dots
      {"\xA1\xA1"
       "2.0.0",
       {2, 0, 0}},  // ideographic space before
      {"-1.0.0", {-1, 0, 0}},
      {"9999999999.9.9", {INT_MAX, 9, 9}},
  };
  // Part by part, as numbers.
  EXPECT_GT((Version{1, 0, 10}), (Version{1, 0, 9}));
  EXPECT_LT((Version{0, 99, 99}), (Version{1, 0, 0}));
  for (const auto& row : table) {
    const std::optional<Announcement> a = ParseUpdatePage(Page(row.version, "http://d/x?a=1&amp;b=2"));
    ASSERT_TRUE(a.has_value()) << row.version;
    EXPECT_EQ(a->version, row.announced) << row.version;
  }
  // Deliberate fix: fewer than three parts announce nothing.
  for (std::string_view version : {"2.0", "2", "", "1.", "."}) {
    EXPECT_FALSE(ParseUpdatePage(Page(version, "http://d/")).has_value()) << version;
  }
}

TEST(ParseUpdatePage, DownloadAddress) {
  const struct {
    std::string_view written, address;
  } table[] = {
      {"http://d/get?a=1&amp;b=2", "http://d/get?a=1&b=2"},
      {"http://d/get?a=1&amp;b=2&amp;c=3", "http://d/get?a=1&b=2&"},  // a third part is dropped
      {"http://d/plain.zip", "http://d/plain.zip"},                   // deliberate fix: no "amp;" keeps it whole
      {"", ""},
  };
  for (const auto& row : table) EXPECT_EQ(ParseUpdatePage(Page("1.0.1", row.written))->address, row.address);
}

TEST(ParseUpdatePage, MarkersInAnyOrderFirstOccurrenceCounts) {
  const Text page = Gbk("下载地址：") + "http://first/<br>" + Gbk("最新版本号：") + "2.0.0<br>" + Gbk("最新版本号：") +
                    "9.9.9<br>" + Gbk("下载地址：") + "http://second/<br>";
  const std::optional<Announcement> a = ParseUpdatePage(page);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->version, (Version{2, 0, 0}));
  EXPECT_EQ(a->address, "http://first/");
}

TEST(TextBetween, Cases) {
  EXPECT_EQ(TextBetween("a[x]b", "[", "]"), "x");
  EXPECT_EQ(TextBetween("a[<x]", "[", "<"), "");  // the end marker right after the start marker
  EXPECT_EQ(TextBetween("a[x", "[", "]"), "");    // no end marker
  EXPECT_EQ(TextBetween("a[", "[", "]"), "");     // the marker ends the text
  // Deliberate fix: a missing start marker gives nothing, not a cut from the page's first bytes.
  EXPECT_EQ(TextBetween("0123456789abcdef<", Gbk("最新版本号："), "<"), "");
  // The start marker is not found inside a double-byte character: 0xB0 0x5B is one.
  EXPECT_EQ(TextBetween("\xB0[x][y]", "[", "]"), "y");
}

TEST(ReadVersionNumber, NumberRule) {
  EXPECT_EQ(ReadVersionNumber("101abc"), 101);
  EXPECT_EQ(ReadVersionNumber("  +7"), 7);
  EXPECT_EQ(ReadVersionNumber("x1"), 0);
  EXPECT_EQ(ReadVersionNumber("1e5"), 1);  // digits only, no exponent
  EXPECT_EQ(ReadVersionNumber("-99999999999"), INT_MIN);
}

TEST(IsSafeToOpen, OnlyPlainWebAddresses) {
  for (std::string_view good :
       {"http://d/x.zip", "HTTPS://d/x?a=1&b=2", "Http://d", "http://d/%E4%B8%AD", "http://d/\x95\x32\x82\x36.zip"}) {
    EXPECT_TRUE(IsSafeToOpen(good)) << good;
  }
  const Text longAddress = "http://d/" + Text(1 << 20, 'a');
  for (std::string_view bad : {std::string_view("file:///etc/passwd"),
                               std::string_view("javascript:alert(1)"),
                               std::string_view("java&script:alert(1)"),
                               std::string_view("data&:text/html,x"),
                               std::string_view("httfile:/x"),
                               std::string_view("--help"),
                               std::string_view("C:\\Windows\\calc.exe"),
                               std::string_view("\\\\host\\share"),
                               std::string_view("http://d/x\r\ncalc.exe"),
                               std::string_view(" http://d/"),
                               std::string_view("http://d/a b"),
                               std::string_view("http\xA3\xBA//d/"),
                               std::string_view("\xA3\xE8ttp://d/"),
                               std::string_view("http://d/\"x\""),
                               std::string_view("http://d/'x'"),
                               std::string_view("http://d/`id`"),
                               std::string_view("http:///x"),
                               std::string_view("http://d/%zz"),
                               std::string_view("httpx://d/"),
                               std::string_view(longAddress),
                               std::string_view("")}) {
    EXPECT_FALSE(IsSafeToOpen(bad)) << bad.substr(0, 40);
  }
}

}  // namespace
}  // namespace pakeno
