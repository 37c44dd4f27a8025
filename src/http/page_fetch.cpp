#include "http/page_fetch.h"

#include <ctime>

#include "base/ascii.h"
#include "cookies/cookie_store.h"
#include "http/body_reader.h"
#include "http/cookie_pass.h"
#include "http/failure_log.h"
#include "http/url.h"
#include "http/wire_texts.h"
#include "text/text.h"
#include "transport/request.h"

namespace pakeno {
namespace {

constexpr std::string_view kAcceptLine =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";
constexpr size_t kHeaderCapacity = 1024;

Bytes FailureResult() { return Bytes(255, '\0'); }

bool OnlySpaces(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    if (text[i] == ' ') {
      i += 1;
    } else if (text.substr(i, 2) == "\xA1\xA1") {
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

Text UpperAscii(std::string_view text) {
  Text upper(text);
  for (char& c : upper) c = static_cast<char>(AsciiUpper(static_cast<unsigned char>(c)));
  return upper;
}

bool Holds(const Text& block, std::string_view marker) { return TextFind(block, marker, 1, true) != -1; }

void AppendDefaultLines(Text& block, const Text& url) {
  if (!Holds(block, "Accept: ")) block += kAcceptLine;
  if (!Holds(block, "Referer: ")) block += TextJoin({"Referer: ", url, "\r\n"});
  if (!Holds(block, "Accept-Language: ")) block += "Accept-Language: zh-cn\r\n";
}

}  // namespace

Bytes FetchPage(const Text& typedUrl, const Text& method, const Text& proxy, Text* requestHeaders, const Text& postData,
                Text* responseHeaders, const FetchOptions& options) {
  Text ownRequestHeaders, ownResponseHeaders;
  Text& block = requestHeaders ? *requestHeaders : ownRequestHeaders;
  Text& received = responseHeaders ? *responseHeaders : ownResponseHeaders;
  RequestOutcome ownOutcome;
  RequestOutcome& outcome = options.outcome ? *options.outcome : ownOutcome;
  outcome = {};

  const Text url = TrimAddress(typedUrl);
  const Text path = UrlPath(url);  // the transport keeps its fragment off the wire
  const Text host = UrlHost(url);
  const Scheme scheme = UrlScheme(url);
  const bool secure = scheme == Scheme::kHttps || (scheme == Scheme::kNone && options.httpsWithoutScheme);
  // Port 0 is the scheme's own.
  const int port = UrlNamesPort(url) ? UrlPort(url) & 0xFFFF : 0;

  const Text verb = UpperAscii(method);
  auto log = [&](const transport::Failure& why) {
    outcome.failure = why;
    LogFailedRequest(method.empty() ? std::string_view("GET") : std::string_view(method), typedUrl, why.reason);
  };
  auto fail = [&](const transport::Failure& why) {
    log(why);
    return FailureResult();
  };
  Bytes body;
  transport::CookieOrigin answeredBy;
  {
    using transport::FailureKind;
    const bool direct = OnlySpaces(proxy);
    transport::Session session(kBrowserAgent, direct ? transport::Access::kDirect : transport::Access::kProxy,
                               direct ? Text() : "http=" + proxy);
    if (!session.IsOpen())
      return fail({direct ? FailureKind::kNoSession : FailureKind::kProxy,
                   direct ? "no HTTP session could be opened" : "the proxy text names no proxy"});
    transport::Connection connection(session, host, port);
    if (!connection.IsOpen()) return fail({FailureKind::kNoSession, "no connection could be opened"});
    transport::Request request(connection, method, path, "HTTP/1.1", secure ? transport::kSecure : 0u);
    if (!request.IsOpen()) return fail(request.GetFailure());

    AppendDefaultLines(block, url);
    if (verb.empty() || verb == "GET") {
      request.Send(block);
    } else if (verb == "POST") {
      if (!postData.empty()) {
        if (!Holds(block, "Content-Type: ")) block += kFormContentTypeLine;
        block += TextJoin({"Content-Length: ", std::to_string(postData.size()), "\r\n"});
      }
      request.Send(block, postData);
    } else {
      return fail({FailureKind::kMethod, "the method is neither GET nor POST"});
    }

    transport::Failure why;
    body = ReadWholeBody(request, PumpAt::kBeforeEachRead, why);
    if (why) log(why);
    outcome.response = request.Summary();
    outcome.bodyBytes = body.size();
    received.assign(kHeaderCapacity, ' ');
    request.QueryRawHeaders(received, kHeaderCapacity);
    answeredBy = request.ResponseOrigin();
  }  // request, connection and session close here, in that order

  // The transport has stored these cookies already, under the host and path
  // that answered; stored again the same way, each replaces itself, so a
  // cookie a redirect target set never lands on the host that was typed.
  if (Holds(received, "Set-Cookie: ") && !answeredBy.host.empty()) {
    const std::time_t now = std::time(nullptr);
    CookiePass(received, [&](std::string_view name, std::string_view data) {
      if (!name.empty()) transport::ProcessCookies().Store(answeredBy, TextJoin({name, "=", data}), now);
    });
  }
  return body;
}

Text FetchPageText(const Text& url, const Text& method, const Text& proxy, Text* requestHeaders, const Text& postData,
                   Text* responseHeaders, const FetchOptions& options) {
  return BytesToText(FetchPage(url, method, proxy, requestHeaders, postData, responseHeaders, options));
}

}  // namespace pakeno
