#include <gtest/gtest.h>

#include "cookies/cookie_store.h"
#include "http/page_fetch.h"
#include "support/scripted_server.h"
#include "support/under_wine.h"
#include "transport/session.h"

namespace pakeno {
namespace {

using testing::BodyOf;
using testing::Reply;
using testing::Response;
using testing::ScriptedServer;

constexpr std::string_view kAccept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";

ScriptedServer::Script Answer(std::string body, std::string status = "200 OK", std::string headers = {}) {
  return [=](const std::string&, Reply& reply) {
    reply.Send(Response(body, status, headers));
    reply.Close();
  };
}

int CountOf(std::string_view text, std::string_view what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class PageFetch : public ::testing::Test {
 protected:
  void SetUp() override { transport::ClearCookiesForTesting(); }
};

TEST_F(PageFetch, PlainGetSendsTheThreeDefaultLinesInOrder) {
  ScriptedServer server(Answer("hello"));
  const Text url = server.Url("/p/q.php?a=1&b=\xD6\xD0#frag");
  Text requestHeaders, responseHeaders;
  EXPECT_EQ(FetchPage(url, {}, {}, &requestHeaders, {}, &responseHeaders), "hello");

  const std::string request = server.LastRequest();
  const std::string host = "127.0.0.1:" + std::to_string(server.port());
  const std::string expected = "GET /p/q.php?a=1&b=\xD6\xD0 HTTP/1.1\r\nHost: " + host +
                               "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n" +
                               std::string(kAccept) + "Referer: " + url + "\r\nAccept-Language: zh-cn\r\n\r\n";
  EXPECT_EQ(request, expected);
  EXPECT_EQ(requestHeaders, std::string(kAccept) + "Referer: " + url + "\r\nAccept-Language: zh-cn\r\n");
  EXPECT_TRUE(responseHeaders.starts_with("HTTP/1.1 200 OK\r\n")) << responseHeaders;
  EXPECT_TRUE(responseHeaders.ends_with("\r\n\r\n"));
}

TEST_F(PageFetch, ComposesTheBlockFromTheCallersLines) {
  const struct {
    const char* name;
    Text given;
    bool getsAccept;
  } cases[] = {
      {"lower-case marker", "accept: text/html\r\n", false},
      {"name ending in Accept", "X-Accept: y\r\n", false},
      {"no space after the colon", "Accept:text/html\r\n", true},
      {"none", "", true},
  };
  ScriptedServer server(Answer("x"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Text block = c.given;
    FetchPage(server.Url(), {}, {}, &block);
    EXPECT_EQ(block.find(kAccept) != Text::npos, c.getsAccept) << block;
    EXPECT_TRUE(block.starts_with(c.given));
  }
  // A last line without CR LF gets the first default line joined to it.
  Text block = "X-Last: 1";
  FetchPage(server.Url(), {}, {}, &block);
  EXPECT_TRUE(block.starts_with("X-Last: 1Accept: image/gif")) << block;
}

TEST_F(PageFetch, PostWithDataGetsContentTypeAndLength) {
  ScriptedServer server(Answer("ok"));
  const Text data = "name=\xD5\xC5\xC8\xFD&x=1";
  Text block;
  EXPECT_EQ(FetchPage(server.Url("/f"), "post", {}, &block, data), "ok");
  const std::string request = server.LastRequest();
  EXPECT_TRUE(request.starts_with("post /f HTTP/1.1\r\n")) << request;  // the method as typed
  EXPECT_EQ(CountOf(request, "Content-Type: application/x-www-form-urlencoded\r\n"), 1);
  EXPECT_EQ(CountOf(request, "Content-Length: " + std::to_string(data.size()) + "\r\n"), 1);
  EXPECT_EQ(CountOf(request, "Expect"), 0);
  EXPECT_EQ(BodyOf(request), data);
  EXPECT_TRUE(block.ends_with("Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 13\r\n")) << block;

  // A caller's own Content-Type keeps the default away; the length is still added.
  block = "Content-Type: text/plain\r\n";
  FetchPage(server.Url("/f"), "POST", {}, &block, "a");
  EXPECT_EQ(CountOf(server.LastRequest(), "Content-Type"), 1);
  EXPECT_EQ(CountOf(server.LastRequest(), "Content-Length: 1\r\n"), 1);
}

TEST_F(PageFetch, PostWithoutDataAddsNeitherLine) {
  ScriptedServer server(Answer("ok"));
  Text block;
  EXPECT_EQ(FetchPage(server.Url("/f"), "POST", {}, &block), "ok");
  EXPECT_EQ(block.find("Content-"), Text::npos);
  EXPECT_EQ(CountOf(server.LastRequest(), "Content-Type"), 0);
}

TEST_F(PageFetch, OtherMethodsSendNothingAndGiveTheFailureResult) {
  ScriptedServer server(Answer("ok"));
  Text block, received = "untouched";
  EXPECT_EQ(FetchPage(server.Url(), "PUT", {}, &block, {}, &received), Bytes(255, '\0'));
  EXPECT_EQ(FetchPageText(server.Url(), "DELETE"), "");
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_TRUE(block.starts_with("Accept: image/gif"));
  EXPECT_EQ(received, "untouched");
}

TEST_F(PageFetch, ProxyTextOfOnlySpacesMeansDirect) {
  ScriptedServer server(Answer("direct"));
  EXPECT_EQ(FetchPage(server.Url("/d"), {}, "   "), "direct");
  EXPECT_EQ(FetchPage(server.Url("/d"), {}, "\xA1\xA1 \xA1\xA1"), "direct");
  EXPECT_TRUE(server.LastRequest().starts_with("GET /d HTTP/1.1\r\n"));
}

TEST_F(PageFetch, ThroughAProxyTheTargetIsAbsoluteAndHostHasNoPort80) {
  ScriptedServer proxy(Answer("via proxy"));
  const std::string proxyAddress = "127.0.0.1:" + std::to_string(proxy.port());
  EXPECT_EQ(FetchPage("http://Example.TEST\\a%20b?q=\xD6\xD0", {}, proxyAddress), "via proxy");
  const std::string request = proxy.LastRequest();
  // WinINet writes the absolute target itself, with the port.
  EXPECT_TRUE(request.starts_with(testing::kWindows ? "GET http://example.test:80/a%20b?q=\xD6\xD0 HTTP/1.1\r\n"
                                                    : "GET http://example.test/a%20b?q=\xD6\xD0 HTTP/1.1\r\n"))
      << request;
  EXPECT_NE(request.find("\r\nHost: example.test\r\n"), std::string::npos) << request;
}

TEST_F(PageFetch, UnreachableServerGivesEmptyBodyAndSpaces) {
  int closedPort;
  {
    ScriptedServer gone(Answer(""));
    closedPort = gone.port();
  }
  Text received;
  EXPECT_EQ(FetchPage("http://127.0.0.1:" + std::to_string(closedPort) + "/", {}, {}, nullptr, {}, &received), "");
  EXPECT_EQ(received, Text(1024, ' '));
}

TEST_F(PageFetch, BodiesComeBackWholeWhateverTheStatus) {
  const Bytes withNul("ab\0cd", 5);
  for (const char* status : {"200 OK", "404 Not Found", "500 Internal Server Error"}) {
    ScriptedServer server(Answer(withNul, status));
    EXPECT_EQ(FetchPage(server.Url()), withNul) << status;
    EXPECT_EQ(FetchPageText(server.Url()), "ab") << status;
  }
}

TEST_F(PageFetch, OversizedHeaderBlockGivesSpaces) {
  ScriptedServer server(Answer("body", "200 OK", "X-Pad: " + std::string(1100, 'p') + "\r\n"));
  Text received;
  EXPECT_EQ(FetchPage(server.Url(), {}, {}, nullptr, {}, &received), "body");
  EXPECT_EQ(received, Text(1024, ' '));
}

TEST_F(PageFetch, CookieLinesAreStoredUnderTheHost) {
  ScriptedServer server(
      Answer("c", "200 OK", "Set-Cookie: a=b; path=/\r\nset-cookie: second=2\r\nX-Set-Cookie: junk=1\r\n"));
  Text received;
  FetchPage(server.Url(), {}, {}, nullptr, {}, &received);
  const std::string cookies = transport::ListCookiesForTesting();
  EXPECT_NE(cookies.find("127.0.0.1\tFALSE\t/\tFALSE\t0\ta\tb"), std::string::npos) << cookies;
  EXPECT_NE(cookies.find("\tsecond\t2"), std::string::npos) << cookies;
  EXPECT_EQ(cookies.find("junk"), std::string::npos) << cookies;
  EXPECT_EQ(cookies.find(": "), std::string::npos) << cookies;
  // The header block is still there after the cookie pass.
  EXPECT_NE(received.find("Set-Cookie: a=b; path=/\r\n"), Text::npos);
}

}  // namespace
}  // namespace pakeno
