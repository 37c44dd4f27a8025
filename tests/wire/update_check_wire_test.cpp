#include <gtest/gtest.h>

#include "encoding/gbk.h"
#include "http/failure_log.h"
#include "support/fakes.h"
#include "support/scoped_setting.h"
#include "support/scripted_server.h"
#include "support/under_wine.h"
#include "update/connectivity.h"
#include "update/download.h"
#include "update/update_check.h"

namespace pakeno {
namespace {

using testing::FakeBrowser;
using testing::FakeMessageBoxes;
using testing::Reply;
using testing::ScriptedServer;
using testing::ShownBox;

// An update page as its host serves it: UTF-8.
std::string Utf8Page(std::string_view version, std::string_view address) {
  return "<html><body><p>最新版本号：" + std::string(version) + "</p><p>下载地址：" + std::string(address) +
         "</p></body></html>";
}

// The page converts to GB18030, which Windows has as code page 54936.
constexpr const char* kNoGb18030OnWine = "Wine 8 has no code page 54936 (GB18030): only GBK's characters convert";

class UpdateCheck : public ::testing::Test {
 protected:
  const testing::ScopedSetting online{SetInterfaceCheckForTesting, [] { return true; }};
  std::string failures;  // the failure lines written meanwhile
  const testing::ScopedSetting log{SetFailureLogSinkForTesting, [this](std::string_view line) { failures += line; }};

  // Serves `page` at /latest.html and answers the probe at /probe.
  void Serve(std::string page) {
    server = std::make_unique<ScriptedServer>([page](const std::string&, Reply& reply) {
      reply.Send(testing::Response(page));
      reply.Close();
    });
  }

  Text Check(bool reportFailure = false, std::string probePath = "/probe", std::string_view ownVersion = "1.0.0") {
    UpdateServices services{boxes, browser, [&] { return IsInternetConnected(server->Url(probePath)); }, DownloadBytes};
    return CheckForUpdate(server->Url("/latest.html"), ownVersion, reportFailure, services);
  }

  int PageRequests() const {
    int n = 0;
    for (const std::string& r : server->Requests()) n += r.starts_with("GET /latest.html") ? 1 : 0;
    return n;
  }

  std::unique_ptr<ScriptedServer> server;
  FakeMessageBoxes boxes;
  FakeBrowser browser;
};

const ShownBox kQuestion{Gbk("已发现新版本，是否升级？"), Gbk("发现新版本"), MessageButtons::kYesNo,
                         MessageIcon::kNone};

TEST_F(UpdateCheck, NewerVersionAsksAndOpensOnYes) {
  Serve(Utf8Page("1.0.1", "http://dl.example/p.zip?id=7&amp;t=2"));
  boxes.answers = {MessageAnswer::kYes};
  EXPECT_EQ(Check(), "http://dl.example/p.zip?id=7&t=2");
  EXPECT_EQ(boxes.shown, std::vector<ShownBox>{kQuestion});
  EXPECT_EQ(browser.opened, std::vector<Text>{"http://dl.example/p.zip?id=7&t=2"});
}

TEST_F(UpdateCheck, NoOpensNothingButStillReturnsTheAddress) {
  Serve(Utf8Page("2.0.0", "https://dl.example/p.zip"));
  boxes.answers = {MessageAnswer::kNo};
  EXPECT_EQ(Check(), "https://dl.example/p.zip");
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_TRUE(browser.opened.empty());
}

// Nothing is offered; only an older or equal version says nothing.
TEST_F(UpdateCheck, EqualOlderOrUnreadablePagesOfferNothing) {
  const struct {
    std::string page;
    const char* failure;
  } cases[] = {
      {Utf8Page("1.0.0", "http://d/"), ""},
      {Utf8Page("0.9.9", "http://d/"), ""},
      {Utf8Page("0.99.99", "http://d/"), ""},  // part by part, not 9999
      {Utf8Page("1.0.1", "http://d/") + "\xFF", "the update page is not valid UTF-8"},
      {std::string("\0", 1) + Utf8Page("1.0.1", "http://d/"), "a NUL byte before its announcement"},
      {Utf8Page("2.0", "http://d/"), "announces no version of three parts"},
      {Utf8Page("1.0.1", ""), "names no download address"},
      {std::string(), "the update page is empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failure);
    Serve(c.page);
    failures.clear();
    EXPECT_EQ(Check(), "");
    EXPECT_EQ(PageRequests(), 1);
    if (*c.failure) {
      EXPECT_NE(failures.find("failed: no update offered: "), std::string::npos) << failures;
      EXPECT_NE(failures.find(c.failure), std::string::npos) << failures;
    } else {
      EXPECT_EQ(failures, "");
    }
  }
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(browser.opened.empty());
}

TEST_F(UpdateCheck, VersionsCompareAsNumbersPartByPart) {
  Serve(Utf8Page("1.0.10", "http://d/"));
  EXPECT_EQ(Check(false, "/probe", "1.0.9"), "http://d/");
  EXPECT_EQ(Check(false, "/probe", "1.0.10"), "");
  EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(UpdateCheck, AnAddressBeyondGbkReachesTheBrowserAsThePageHadIt) {
  if (testing::UnderWine()) GTEST_SKIP() << kNoGb18030OnWine;
  Serve(Utf8Page("9.9.9", "http://d/😀中.zip"));
  boxes.answers = {MessageAnswer::kYes};
  Check();
  ASSERT_EQ(browser.opened.size(), 1u);
  EXPECT_EQ(Gb18030ToUtf8(browser.opened[0]), "http://d/😀中.zip");
}

TEST_F(UpdateCheck, ByteOrderMarkAndBigPagesAreRead) {
  if (testing::UnderWine()) GTEST_SKIP() << kNoGb18030OnWine;
  Serve("\xEF\xBB\xBF" + std::string(3u << 20, ' ') + Utf8Page("1.2.3", "http://d/big"));
  EXPECT_EQ(Check(), "http://d/big");
  EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(UpdateCheck, OnlyTheFirstFourMebibytesOfThePageAreRead) {
  // The page comes over plain http: whoever sits on the path may send gigabytes.
  Serve(std::string(4u << 20, ' ') + Utf8Page("1.2.3", "http://d/big"));
  EXPECT_EQ(DownloadBytes(server->Url("/latest.html")).size(), 4u << 20);
  EXPECT_EQ(Check(), "");
  EXPECT_TRUE(boxes.shown.empty());
  // A cut inside a character drops that character alone, and says it cut.
  const std::string head = Utf8Page("1.2.3", "http://d/big");
  Serve(head + std::string((4u << 20) - head.size() - 1, ' ') + "中中");
  failures.clear();
  EXPECT_EQ(Check(), "http://d/big");
  EXPECT_NE(failures.find("only its first 4 MiB were read"), std::string::npos) << failures;
}

// The question is asked only where Yes can act; else a line says why not.
TEST_F(UpdateCheck, HostileAddressesAreNeitherOfferedNorOpened) {
  const std::vector<std::string> addresses{"file:///etc/passwd",
                                           "javascript:alert(1)",
                                           "C:\\Windows\\calc.exe",
                                           "\\\\host\\share",
                                           "http://d/" + std::string(1 << 20, 'a'),
                                           "http://d/a b",
                                           "--help",
                                           "java&amp;script:alert(1)",
                                           "data&amp;:text/html,x",
                                           "httamp;file:/x",
                                           "http：//d/",
                                           "ｈttp://d/",
                                           "http://d/\"x\"",
                                           "http://d/`id`"};
  for (const std::string& address : addresses) {
    Serve(Utf8Page("9.9.9", address));
    boxes.answers = {MessageAnswer::kYes};
    failures.clear();
    EXPECT_EQ(Check(), "");
    EXPECT_NE(failures.find("failed: no update offered: the download address "), std::string::npos)
        << address.substr(0, 40) << ": " << failures;
  }
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(browser.opened.empty());
}

TEST_F(UpdateCheck, WithoutNetworkNothingIsDownloaded) {
  Serve(Utf8Page("9.9.9", "http://d/"));
  SetInterfaceCheckForTesting([] { return false; });  // no interface up
  EXPECT_EQ(Check(), "");
  EXPECT_TRUE(server->Requests().empty());
  EXPECT_TRUE(boxes.shown.empty());

  SetInterfaceCheckForTesting([] { return true; });
  int closedPort;
  {
    ScriptedServer gone([](const std::string&, Reply&) {});
    closedPort = gone.port();
  }
  UpdateServices services{boxes, browser,
                          [&] { return IsInternetConnected("http://127.0.0.1:" + std::to_string(closedPort) + "/"); },
                          DownloadBytes};
  EXPECT_EQ(CheckForUpdate(server->Url("/latest.html"), "1.0.0", true, services), "");
  EXPECT_EQ(boxes.shown, (std::vector<ShownBox>{{Gbk("更新失败，请检查网络是否正常！"), Gbk("更新失败"),
                                                 MessageButtons::kOk, MessageIcon::kNone}}));
  EXPECT_EQ(PageRequests(), 0);
}

TEST_F(UpdateCheck, ProbeAndDownloadOnTheWire) {
  Serve(Utf8Page("1.0.0", "http://d/"));
  Check();
  const std::vector<std::string> requests = server->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(requests[0].starts_with("GET /probe HTTP/1.1\r\n")) << requests[0];
  EXPECT_NE(requests[0].find("\r\nUser-Agent: test\r\n"), std::string::npos);
  EXPECT_TRUE(requests[1].starts_with("GET /latest.html HTTP/1.0\r\n")) << requests[1];
  EXPECT_NE(requests[1].find("\r\nAccept: */*\r\n"), std::string::npos);
  EXPECT_NE(requests[1].find("\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"),
            std::string::npos);
}

TEST_F(UpdateCheck, DownloadDropsTheFragmentAndUsesTheAddressesCredentials) {
  Serve("x");
  const std::string url = server->Url("/p?q=1#frag");
  const std::string withUser = "http://user:pw@" + url.substr(7);
  EXPECT_EQ(DownloadBytes(withUser), "x");
  EXPECT_TRUE(server->LastRequest().starts_with("GET /p?q=1 HTTP/1.0\r\n")) << server->LastRequest();
  EXPECT_NE(server->LastRequest().find("Authorization: Basic dXNlcjpwdw=="), std::string::npos);
  EXPECT_EQ(DownloadBytes(""), "");
  EXPECT_EQ(DownloadBytes("not an address"), "");
}

TEST_F(UpdateCheck, ErrorPagesAreDownloadedLikeAnyOther) {
  server = std::make_unique<ScriptedServer>([](const std::string&, Reply& reply) {
    reply.Send(testing::Response("gone", "404 Not Found"));
    reply.Close();
  });
  EXPECT_EQ(DownloadBytes(server->Url("/x")), "gone");
}

}  // namespace
}  // namespace pakeno
