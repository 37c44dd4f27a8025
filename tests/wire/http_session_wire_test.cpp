#include <gtest/gtest.h>

#include "base/event_pump.h"
#include "cookies/cookie_store.h"
#include "http/failure_log.h"
#include "http/http_session.h"
#include "http/page_fetch.h"
#include "support/scoped_setting.h"
#include "support/scripted_server.h"
#include "support/under_wine.h"
#include "transport/session.h"

namespace pakeno {
namespace {

using namespace std::chrono_literals;
using testing::AnswerEach;
using testing::BodyOf;
using testing::Reply;
using testing::Response;
using testing::ScriptedServer;

ScriptedServer::Script Answer(std::string body, std::string status = "200 OK", std::string headers = {}) {
  return [=](const std::string&, Reply& reply) {
    reply.Send(Response(body, status, headers));
    reply.Close();
  };
}

std::string HostPort(const ScriptedServer& server) { return "127.0.0.1:" + std::to_string(server.port()); }

bool Has(std::string_view text, std::string_view what) { return text.find(what) != std::string_view::npos; }

class Session : public ::testing::Test {
 protected:
  void SetUp() override { transport::ClearCookiesForTesting(); }
  // Whatever a test installs as the pump is gone after it.
  const testing::ScopedSetting pump{SetEventPump, std::function<void()>{}};
};

TEST_F(Session, PostHttpPutsTheFormOnTheWireAsTyped) {
  ScriptedServer server(Answer("done"));
  HttpSession session;
  // Over 1 KiB, where libcurl would otherwise ask for 100-continue.
  const Text data = "user=\xD5\xC5\xC8\xFD&memo=" + Text(2000, 'm') + "&raw=%zz a+b";
  EXPECT_EQ(session.PostHttp("http://" + HostPort(server) + "/cgi\\bin/a.php?x=\\1", data), "done");
  const std::string request = server.LastRequest();
  // WinINet's HttpOpenRequestA turns the query's backslashes into slashes too.
  EXPECT_TRUE(request.starts_with(testing::kWindows ? "POST /cgi/bin/a.php?x=/1 HTTP/1.1\r\n"
                                                    : "POST /cgi/bin/a.php?x=\\1 HTTP/1.1\r\n"))
      << request;
  EXPECT_TRUE(Has(request, "\r\nHost: " + HostPort(server) + "\r\n"));
  EXPECT_TRUE(Has(request, "\r\nUser-Agent: diri.rar\r\n"));
  EXPECT_TRUE(Has(request, "\r\nContent-Type: application/x-www-form-urlencoded\r\n"));
  EXPECT_TRUE(Has(request, "\r\nContent-Length: " + std::to_string(data.size()) + "\r\n"));
  // The one line WinINet adds of its own.
  EXPECT_EQ(Has(request, "\r\nCache-Control: no-cache\r\n"), testing::kWindows) << request;
  for (const char* absent : {"Accept", "Referer", "Expect", "Cookie", "Authorization"}) {
    EXPECT_FALSE(Has(request, std::string("\r\n") + absent)) << absent;
  }
  EXPECT_EQ(BodyOf(request), data);
}

TEST_F(Session, AddressWithoutSlashGoesToTheRoot) {
  ScriptedServer server(Answer("root"));
  HttpSession session;
  EXPECT_EQ(session.PostHttp(HostPort(server), "a=1"), "root");
  EXPECT_TRUE(server.LastRequest().starts_with("POST / HTTP/1.1\r\n"));
}

TEST_F(Session, RefusedAddressesSendNothing) {
  ScriptedServer server(Answer("x"));
  HttpSession session;
  EXPECT_EQ(session.PostHttp("a:b:c/x", "a=1"), "");
  EXPECT_EQ(session.PostHttp("/x", "a=1"), "");
  EXPECT_EQ(session.PostHttps("https://" + HostPort(server) + "/x", "a=1"), "");
  EXPECT_EQ(session.PostHttps("http://srv/x", "a=1"), "");
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(Session, DeadSessionReturnsEmptyAtOnce) {
  ScriptedServer server(Answer("x"));
  const auto session = [] {
    const testing::ScopedSetting refuse(transport::SetSessionRefusalForTesting, true);
    return std::make_unique<HttpSession>();
  }();
  EXPECT_FALSE(session->IsOpen());
  EXPECT_EQ(session->PostHttp(server.Url("/x"), "a=1"), "");
  EXPECT_TRUE(server.Requests().empty());
  // The page fetch opens sessions of its own and still works.
  EXPECT_EQ(FetchPage(server.Url("/x")), "x");
}

TEST_F(Session, ErrorPagesAndNulBytesComeBackWhole) {
  const Bytes body("not\0found", 9);
  ScriptedServer server(Answer(body, "404 Not Found"));
  HttpSession session;
  EXPECT_EQ(session.PostHttp(server.Url("/x"), "a"), body);
}

TEST_F(Session, ChunkedBodyIsDecoded) {
  ScriptedServer server([](const std::string&, Reply& reply) {
    reply.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n");
    reply.Send("5\r\nhello\r\n");
    reply.Sleep(20ms);
    reply.Send("7\r\n, world\r\n0\r\n\r\n");
    reply.Close();
  });
  HttpSession session;
  EXPECT_EQ(session.PostHttp(server.Url("/c"), "a"), "hello, world");
  EXPECT_EQ(FetchPage(server.Url("/c")), "hello, world");
}

TEST_F(Session, RedirectsAreFollowedAndTheirCookiesKept) {
  ScriptedServer server([](const std::string& request, Reply& reply) {
    if (request.starts_with("GET /final")) {
      reply.Send(Response("final body", "200 OK", "X-Final: yes\r\n"));
    } else {
      reply.Send(Response("moved", "302 Found", "Location: /final?from=1\r\nSet-Cookie: hop=1; path=/\r\n"));
    }
    reply.Close();
  });
  Text received;
  EXPECT_EQ(FetchPage(server.Url("/start"), {}, {}, nullptr, {}, &received), "final body");
  EXPECT_TRUE(Has(received, "X-Final: yes")) << received;
  EXPECT_FALSE(Has(received, "302"));
  EXPECT_TRUE(Has(transport::ListCookiesForTesting(), "\thop\t1"));

  // A POST answered by 302 goes on as a GET without body or form headers.
  HttpSession session;
  EXPECT_EQ(session.PostHttp(server.Url("/form"), "a=1"), "final body");
  const std::string last = server.LastRequest();
  EXPECT_TRUE(last.starts_with("GET /final?from=1 HTTP/1.1\r\n")) << last;
  EXPECT_FALSE(Has(last, "Content-Length"));
  EXPECT_TRUE(Has(last, "Cookie: hop=1"));
}

TEST_F(Session, RedirectLoopEndsAsFailure) {
  ScriptedServer server(AnswerEach(Response("", "302 Found", "Location: /again\r\n")));
  std::string failures;
  const testing::ScopedSetting log(SetFailureLogSinkForTesting, [&](std::string_view line) { failures += line; });
  Text received;
  EXPECT_EQ(FetchPage(server.Url("/loop"), {}, {}, nullptr, {}, &received), "");
  EXPECT_EQ(received, Text(1024, ' '));
  HttpSession session;
  EXPECT_EQ(session.PostHttp(server.Url("/loop"), "a"), "");
  EXPECT_EQ(server.Requests().size(), 2u * 11);  // each: the request and ten redirects
  EXPECT_NE(failures.find("GET " + server.Url("/loop") + " failed: more than 10 redirects"), std::string::npos);
  EXPECT_NE(failures.find("POST " + server.Url("/loop") + " failed: more than 10 redirects"), std::string::npos);
}

TEST_F(Session, AServerTextThatIsNoNameReachesNobody) {
  ScriptedServer server(Answer("reached"));
  const std::string port = std::to_string(server.port());
  HttpSession session;
  // Whole, these are no server names; libcurl must not read a user, a query
  // or a fragment out of them and connect to 127.0.0.1 after all.
  for (const char* name : {"u@127.0.0.1", "u:p@127.0.0.1", "127.0.0.1?x=1", "127.0.0.1#f", "127.0.0.1 x"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(session.PostHttp(name + (":" + port) + "/x", "a=1"), "");
    // As for a name that resolves nowhere: the block is composed, nothing comes back.
    Text sent, received;
    EXPECT_EQ(FetchPage("http://" + (name + (":" + port)) + "/x", {}, {}, &sent, {}, &received), "");
    EXPECT_TRUE(Has(sent, "Referer: "));
    EXPECT_EQ(received, Text(1024, ' '));
  }
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(Session, EveryFailedRequestLeavesOneLineOnStandardError) {
  ScriptedServer server(Answer("fine"));
  std::vector<std::string> lines;
  std::optional<testing::ScopedSetting> sink;
  sink.emplace(SetFailureLogSinkForTesting, [&](std::string_view line) { lines.emplace_back(line); });
  HttpSession session;
  EXPECT_EQ(session.PostHttp(server.Url("/ok"), "a=1"), "fine");
  EXPECT_EQ(FetchPage(server.Url("/ok")), "fine");
  EXPECT_TRUE(lines.empty()) << "nothing for a request that succeeded";

  session.PostHttp("a:b:c/x", "a=1");
  session.PostHttp("127.0.0.1:1/\xD6\xD0", "a=1");  // nothing listens on port 1
  FetchPage("http://127.0.0.1:1/x\r\ny");
  sink.reset();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "pakeno: POST a:b:c/x failed: address refused: more than one \":\" after the server name\n");
  EXPECT_TRUE(lines[1].starts_with("pakeno: POST 127.0.0.1:1/中 failed: ")) << lines[1];
  EXPECT_TRUE(Has(lines[1], "onnect")) << lines[1];  // libcurl's words for a refused connection
  EXPECT_EQ(lines[2],
            "pakeno: GET http://127.0.0.1:1/x\\x0D\\x0Ay failed: address refused: the request target holds a blank "
            "or a control character\n");
}

// Addresses as people type and paste them: the server sees exactly the
// request that was meant, or nothing, and the outcome says why.
TEST_F(Session, AddressesAsPeopleTypeThem) {
  ScriptedServer server(Answer("ok"));
  const std::string hp = HostPort(server);
  using Kind = transport::FailureKind;
  constexpr std::string_view kTls = "TLS";  // the server saw a TLS handshake: the request went encrypted
  const struct {
    std::string typed;
    bool post, httpsChecked;
    std::string_view firstLine;  // what reached the server; empty: nothing
    Kind refusal;
  } cases[] = {
      {"https://" + hp + "/p?q=1", false, false, kTls, Kind::kNone},
      {"HTTP://" + hp + "/p?q=1", false, false, "GET /p?q=1 HTTP/1.1", Kind::kNone},
      {"Http://" + hp + "/p?q=1", false, true, "GET /p?q=1 HTTP/1.1", Kind::kNone},  // the typed scheme wins
      {hp + "\\p?q=1", false, false, "GET /p?q=1 HTTP/1.1", Kind::kNone},
      {hp + "/p?q=1 ", false, false, "GET /p?q=1 HTTP/1.1", Kind::kNone},
      {hp + "/p?q=1 \r\n", true, false, "POST /p?q=1 HTTP/1.1", Kind::kNone},
      {" \xA1\xA1http://" + hp + "/p", false, false, "GET /p HTTP/1.1", Kind::kNone},
      {hp + "/p?q=1", false, true, kTls, Kind::kNone},  // https checked: never in clear
      {hp + "/p q", false, false, "", Kind::kTargetCharacters},
      {hp + "/p\tq", true, false, "", Kind::kTargetCharacters},
      {"https://" + hp + "/x", true, false, "", Kind::kWrongScheme},
      {"HTTPS://" + hp + "/x", true, false, "", Kind::kWrongScheme},
      {"http:/" + hp + "/x", true, false, "", Kind::kSchemeAsServer},
      {"https:/" + hp + "/x", false, false, "", Kind::kSchemeAsServer},
  };
  HttpSession session;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed + (c.post ? " POST" : " GET") + (c.httpsChecked ? " https" : " http"));
    const size_t before = server.Requests().size();
    RequestOutcome outcome;
    if (c.post) {
      c.httpsChecked ? session.PostHttps(c.typed, "a=1") : session.PostHttp(c.typed, "a=1");
      outcome = session.LastOutcome();
    } else {
      FetchPage(c.typed, {}, {}, nullptr, {}, nullptr, {c.httpsChecked, &outcome});
    }
    const std::vector<std::string> requests = server.Requests();
    if (c.firstLine.empty()) {
      EXPECT_EQ(requests.size(), before);
      EXPECT_EQ(outcome.failure.kind, c.refusal) << outcome.failure.reason;
    } else if (c.firstLine == kTls) {
      // Only handshakes (WinINet tries a second one when the first fails), never the request in clear.
      ASSERT_GT(requests.size(), before);
      for (size_t i = before; i < requests.size(); ++i) EXPECT_TRUE(requests[i].starts_with("\x16\x03"));
      EXPECT_TRUE(outcome.failure);
    } else {
      ASSERT_EQ(requests.size(), before + 1);
      EXPECT_TRUE(requests.back().starts_with(std::string(c.firstLine) + "\r\n")) << requests.back();
      EXPECT_FALSE(outcome.failure) << outcome.failure.reason;
      EXPECT_EQ(outcome.response.status, 200);
    }
  }
}

TEST_F(Session, NestedRequestFromTheEventPumpCompletesFirst) {
  const std::string outerBody(200'000, 'o');
  ScriptedServer server([&](const std::string& request, Reply& reply) {
    if (request.starts_with("GET /inner")) {
      reply.Send(Response("inner body"));
    } else {
      reply.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(outerBody.size()) + "\r\n\r\n");
      for (size_t i = 0; i < outerBody.size(); i += 10'000) {
        reply.Send(outerBody.substr(i, 10'000));
        reply.Sleep(1ms);
      }
    }
    reply.Close();
  });
  HttpSession session;
  std::vector<Bytes> innerBodies;
  int pumps = 0;
  SetEventPump([&] {
    if (++pumps == 3) {
      innerBodies.push_back(FetchPage(server.Url("/inner")));
      innerBodies.push_back(session.PostHttp(server.Url("/inner-post"), "b"));
    }
  });
  EXPECT_EQ(session.PostHttp(server.Url("/outer"), "a"), outerBody);
  ASSERT_EQ(innerBodies.size(), 2u);
  EXPECT_EQ(innerBodies[0], "inner body");
  EXPECT_EQ(innerBodies[1].size(), outerBody.size());  // the inner POST got a whole body of its own
}

TEST_F(Session, CookieStoreIsSharedByEverySession) {
  ScriptedServer server([](const std::string& request, Reply& reply) {
    if (request.starts_with("GET /set")) {
      reply.Send(Response("set", "200 OK", "Set-Cookie: fromget=1; path=/\r\n"));
    } else if (request.starts_with("POST /set")) {
      reply.Send(Response("set", "200 OK", "Set-Cookie: frompost=2; path=/\r\n"));
    } else {
      reply.Send(Response("plain"));
    }
    reply.Close();
  });
  HttpSession session;
  FetchPage(server.Url("/set"));
  session.PostHttp(server.Url("/check"), "a");
  EXPECT_TRUE(Has(server.LastRequest(), "Cookie: fromget=1")) << server.LastRequest();

  session.PostHttp(server.Url("/set"), "a");
  FetchPage(server.Url("/check"));
  EXPECT_TRUE(Has(server.LastRequest(), "frompost=2")) << server.LastRequest();
}

}  // namespace
}  // namespace pakeno
