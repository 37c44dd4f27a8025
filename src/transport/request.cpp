// The request: everything it decides, the same on every system. The hop
// loop (which redirect is followed, what the next hop takes along), the
// deadlines, the body's buffer, the limits on the head and the failure and
// its reason live here; the system's library only carries one hop at a time
// (hop_driver.h).

#include "transport/request.h"

#include <algorithm>
#include <ctime>
#include <new>
#include <utility>

#include "base/ascii.h"
#include "base/event_pump.h"
#include "cookies/cookie_store.h"
#include "system/process.h"
#include "transport/byte_queue.h"
#include "transport/header_lines.h"
#include "transport/hop_driver.h"
#include "transport/redirects.h"
#include "transport/response_head.h"
#include "transport/server_address.h"

namespace pakeno::transport {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Above this much unread body the hop waits until the reader catches up.
constexpr size_t kHighWater = 1 << 20;
// How long a hop is worked on before the window's events run again.
constexpr milliseconds kSlice{20};
// Past the connect time-out a library that bounds its own connecting has
// failed the hop already, with its own reason; this is for those that do not.
constexpr milliseconds kConnectGrace{1000};

}  // namespace

struct Request::State : HopReceiver {
  const Connection& connection;
  std::string verb;
  std::string target;  // as given, without its fragment
  bool http10;
  bool secure;
  std::string origin;  // "http://server:port" of the first hop, the port only when not the scheme's
  std::string hopUrl;  // the current hop's address, as the cookie store and redirects read it

  std::vector<std::string> headerLines;  // AddHeaders, then Send's
  std::string body;
  Clock::time_point deadline = Clock::time_point::max();
  Clock::time_point connectBy = Clock::time_point::max();  // the hop's connection, or it ends
  std::unique_ptr<HopDriver> driver = NewHopDriver();
  Hop hop;

  ResponseHead head;
  bool sendCalled = false;
  bool headersDone = false;  // the final response's head is in
  bool hopEnded = false;
  std::optional<uint64_t> bodyLength;  // where the final body ends, when the response says so
  std::string redirect;                // the next hop's address, once the current response says to go there
  long redirectStatus = 0;
  int redirects = 0;
  int firstStatus = 0;
  Failure refusal;  // why the tool itself stopped the request

  ByteQueue pending;  // body bytes received, not yet read
  uint64_t received = 0;
  bool paused = false;

  State(const Connection& c, std::string_view v, std::string_view t, std::string_view version, bool s)
      : connection(c), verb(v), target(t.substr(0, t.find('#'))), http10(version == "HTTP/1.0"), secure(s) {}
  ~State() override {
    if (driver) driver->GiveUp();
  }

  size_t Unread() const { return pending.Size(); }

  // The receiver's side: no exception leaves it, since it is called from inside the library.
  bool HeadLine(std::string_view line) override {
    try {
      return TakeHeadLine(line);
    } catch (const std::bad_alloc&) {
      refusal = {FailureKind::kMemory, "not enough memory for the response's header block"};
      return false;
    }
  }

  bool Body(std::string_view bytes) override {
    if (!redirect.empty() || refusal) return false;  // a redirect's body is not wanted
    if (Unread() >= kHighWater) {
      paused = true;
      return false;
    }
    try {
      pending.Append(bytes);
    } catch (const std::bad_alloc&) {
      refusal = {FailureKind::kMemory, "not enough memory for the body after " + MiB(received) + " MiB"};
      return false;
    }
    received += bytes.size();
    return true;
  }

  bool TakeHeadLine(std::string_view line) {
    if (line.starts_with("HTTP/")) {  // a new response: interim, redirect or final
      head.Clear();
    } else if (headersDone) {
      return true;  // a chunked body's trailer: neither the head nor cookies
    }
    if (std::string why = head.Add(line); !why.empty()) {
      refusal = {FailureKind::kMalformed, std::move(why)};
      return false;
    }
    if (line.find_first_not_of("\r\n") != std::string_view::npos) return true;
    const int status = head.Status();
    if (status / 100 == 1) return true;  // an interim response; the real one follows
    // The proxy's answer, not the server's: the request never reached it.
    if (status == 407 && (!hop.proxy.empty() || hop.systemProxy)) {
      refusal = {FailureKind::kProxy, "the proxy wants credentials it was not given or refused them (407)"};
      return false;
    }
    // Cookies go under the host and path that answered, redirects included.
    const CookieOrigin from = CookieOriginOf(hopUrl);
    for (const std::string& cookie : head.SetCookies()) ProcessCookies().Store(from, cookie, std::time(nullptr));
    head.ForgetCookies();
    if (IsRedirect(status) && !head.Location().empty() &&
        !(redirect = ResolveLocation(redirects == 0 ? origin + target : hopUrl, head.Location())).empty()) {
      redirectStatus = status;
      if (redirects == 0) firstStatus = status;
      if (Failure why = RedirectRefusal(secure, redirect, redirects, connection.GetSession().MaxRedirects())) {
        redirect.clear();
        refusal = std::move(why);
        return false;
      }
      return true;
    }
    headersDone = true;
    // A length announced for a body that never comes (HEAD, 204, 304) is not
    // the body's; a chunked body's own framing outranks it.
    const bool bodyless = EqualsIgnoringCase(verb, "HEAD") || status == 204 || status == 304;
    bodyLength = bodyless ? std::optional<uint64_t>(0) : head.Chunked() ? std::nullopt : head.LengthValue();
    driver->ExpectBody(bodyLength);
    return true;
  }

  // The hop to `hopUrl`: its target, its proxy, and what it takes along.
  bool StartHop() {
    const Session& session = connection.GetSession();
    const std::optional<UrlParts> address = CrackUrl(hopUrl);
    if (!address) {
      refusal = {FailureKind::kServerName, "address refused: the server name is not one a URL can hold"};
      return false;
    }
    hop = {};
    hop.https = address->scheme == "https";
    // The first hop goes to the server and target exactly as given.
    hop.host = redirects == 0 ? connection.Server() : address->host;
    hop.port = address->port;
    hop.target = redirects == 0 ? target : address->path;
    // Through a proxy, as an absolute address: never with credentials a Location named.
    const bool defaultPort = hop.port == (hop.https ? 443 : 80);
    hop.absoluteTarget = redirects == 0
                             ? origin + target
                             : std::string(hop.https ? "https://" : "http://") + hop.host +
                                   (defaultPort ? std::string() : ":" + std::to_string(hop.port)) + hop.target;
    hop.verb = verb;
    hop.http10 = http10;
    hop.agent = session.Agent();
    const std::string_view scheme = hop.https ? "https" : "http";
    hop.proxy = session.ProxyFor(scheme, HostOfAddress(hopUrl));
    hop.systemProxy = hop.proxy.empty() && session.GetAccess() == Access::kSystem &&
                      ProxyNamedByEnvironment(scheme, EnvironmentVariable).empty();
    // The store's cookies for this hop; a Cookie line of the caller's own wins.
    if (!HasHeader(headerLines, "Cookie")) {
      const std::string cookies = ProcessCookies().CookieLineFor(CookieOriginOf(hopUrl), std::time(nullptr));
      if (!cookies.empty()) hop.headerLines.push_back("Cookie: " + cookies);
    }
    // Credentials are for the address the caller named, not for wherever it redirects.
    if (redirects == 0 && connection.UserName() && !connection.UserName()->empty() &&
        !HasHeader(headerLines, "Authorization")) {
      hop.headerLines.push_back("Authorization: Basic " +
                                Base64(*connection.UserName() + ":" + connection.Password().value_or("")));
    }
    hop.headerLines.insert(hop.headerLines.end(), headerLines.begin(), headerLines.end());
    hop.body = body;
    hop.hasBody = !body.empty() || EqualsIgnoringCase(verb, "POST");
    const Timeouts& timeouts = session.GetTimeouts();
    hop.connect = timeouts.connect;
    hop.idle = timeouts.idle;
    if (deadline != Clock::time_point::max()) {
      hop.total = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
      if (hop.total.count() <= 0) return TimeRanOut();
      hop.connect = std::min(hop.connect, hop.total);
    }
    head.Clear();
    headersDone = hopEnded = false;
    connectBy = hop.connect.count() > 0 ? Clock::now() + hop.connect + kConnectGrace : Clock::time_point::max();
    return driver->Start(hop);
  }

  bool TimeRanOut(std::string why = "the time allowed for the request ran out") {
    refusal = {FailureKind::kTimeout, std::move(why)};
    driver->GiveUp();
    hopEnded = true;
    return false;
  }

  // Moves to the redirect's address, as a browser would.
  bool FollowRedirect() {
    driver->GiveUp();  // the redirect's own body is not wanted
    HopRequest next{std::move(verb), std::move(body), std::move(headerLines)};
    PrepareNextHop(next, redirectStatus, HostOfAddress(hopUrl), HostOfAddress(redirect));
    verb = std::move(next.verb);
    body = std::move(next.body);
    headerLines = std::move(next.headerLines);
    hopUrl = std::move(redirect);
    redirect.clear();
    ++redirects;
    return StartHop();
  }

  // One round of work on the hop: what arrives, a redirect followed, or a
  // short wait, with the window's events run while nothing comes.
  void Step() {
    const Clock::time_point now = Clock::now();
    if (now >= deadline) {
      TimeRanOut();
      return;
    }
    if (now >= connectBy) {
      if (!driver->Connected()) {
        TimeRanOut("no connection to the server (or its proxy) within the time allowed for connecting");
        return;
      }
      connectBy = Clock::time_point::max();
    }
    const HopDriver::Progress progress = driver->Advance(kSlice, *this);
    if (refusal) {
      driver->GiveUp();
      hopEnded = true;
    } else if (!redirect.empty()) {
      if (!FollowRedirect()) hopEnded = true;
    } else if (progress == HopDriver::Progress::kEnded) {
      // A response that ended without the empty line still counts as received.
      if (!headersDone && !driver->Ended() && head.Status() != 0 && HeadLine("\r\n") && !redirect.empty()) {
        if (!FollowRedirect()) hopEnded = true;
        return;
      }
      hopEnded = true;
    } else if (progress == HopDriver::Progress::kIdle) {
      PumpEvents();
    }
  }
};

Request::Request(const Connection& connection, std::string_view verb, std::string_view target, std::string_view version,
                 unsigned flags) {
  if (!connection.IsOpen()) {
    refusal_ = {FailureKind::kNoSession, "no HTTP session"};
    return;
  }
  const bool secure = (flags & kSecure) != 0;
  auto state = std::make_unique<State>(connection, verb.empty() ? "GET" : verb, target, version, secure);
  const int port = connection.Port() == 0 ? (secure ? 443 : 80) : connection.Port();
  state->refusal = connection.Refusal();
  state->origin = std::string(secure ? "https://" : "http://") + connection.Server();
  if (port != (secure ? 443 : 80)) state->origin += ":" + std::to_string(port);
  state->hopUrl = std::string(secure ? "https://" : "http://") + connection.Server() + ":" + std::to_string(port) +
                  CookiePathOf(state->target);
  state_ = std::move(state);
}

Request::~Request() = default;

bool Request::IsOpen() const { return state_ != nullptr; }

bool Request::AddHeaders(std::string_view block) { return state_ && MergeHeaderBlock(state_->headerLines, block); }

bool Request::Send(std::string_view headers, std::string_view body) {
  if (!state_ || state_->sendCalled) return false;
  State& s = *state_;
  s.sendCalled = true;
  for (std::string& line : SplitHeaderLines(headers)) s.headerLines.push_back(std::move(line));
  if (!s.refusal) s.refusal = RequestRefusal(s.target, s.headerLines);
  if (s.refusal) return false;
  s.body.assign(body);
  const Timeouts& timeouts = s.connection.GetSession().GetTimeouts();
  if (timeouts.total.count() > 0) s.deadline = Clock::now() + timeouts.total;
  if (!s.StartHop()) {
    s.hopEnded = true;
    return false;
  }
  while (!s.headersDone && !s.hopEnded) s.Step();
  return s.headersDone && !s.refusal;
}

size_t Request::Read(char* buffer, size_t capacity) {
  if (!state_ || !state_->headersDone || capacity == 0) return 0;
  State& s = *state_;
  while (s.Unread() == 0) {
    if (s.refusal) return 0;
    if (s.paused) {
      s.paused = false;
      s.driver->Resume(s);
      continue;
    }
    if (s.hopEnded) return 0;
    s.Step();
  }
  return s.pending.Take(buffer, capacity);
}

bool Request::QueryRawHeaders(std::string& block, size_t capacity) const {
  return state_ && state_->headersDone && state_->head.CopyBlock(block, capacity);
}

std::optional<uint64_t> Request::ContentLength() const {
  if (!state_ || !state_->headersDone) return std::nullopt;
  return state_->bodyLength;
}

CookieOrigin Request::ResponseOrigin() const { return state_ ? CookieOriginOf(state_->hopUrl) : CookieOrigin{}; }

ResponseSummary Request::Summary() const {
  if (!state_ || !state_->headersDone) return {};
  const State& s = *state_;
  return {s.head.Status(), std::string(s.head.ReasonPhrase()), s.redirects, s.firstStatus};
}

Failure Request::GetFailure() const {
  if (!state_) return refusal_;
  const State& s = *state_;
  if (s.refusal) return s.refusal;
  if (!s.sendCalled) return {FailureKind::kOther, "no response"};
  if (!s.hopEnded || s.Unread() > 0) return {};
  Failure ended = s.driver->Ended();
  if (!s.headersDone) return ended ? ended : Failure{FailureKind::kOther, "no response"};
  // A body cut short or malformed in the tool's own words: the libraries' differ from one version to the next.
  if (!ended || ended.kind == FailureKind::kCutShort) {
    if (Failure why = CutShortFailure(s.head.Chunked() && ended, s.bodyLength, s.received)) return why;
  }
  if (ended.kind == FailureKind::kDropped && s.head.Chunked())
    return {FailureKind::kMalformed, "the chunked body is malformed"};
  return ended;
}

}  // namespace pakeno::transport
