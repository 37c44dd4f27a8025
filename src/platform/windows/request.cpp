// The request over WinINet. WinINet's sending and reading block, so they run
// on a thread of the request's own while the calling thread keeps the
// window's events flowing; everything else (the hop policy, the cookie
// store, the header rules) runs on the calling thread, as on every system.

#include "platform/request.h"

#include <windows.h>
// After windows.h, whose types they use.
#include <wincrypt.h>
#include <wininet.h>

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <thread>
#include <utility>
#include <vector>

#include "base/ascii.h"
#include "platform/event_pump.h"
#include "platform/header_lines.h"
#include "platform/proxy_rules.h"
#include "platform/redirects.h"
#include "platform/response_head.h"
#include "platform/server_address.h"

namespace pakeno::transport {
namespace {

using Clock = std::chrono::steady_clock;

// Above this much unread body the reading thread waits for the reader.
constexpr size_t kHighWater = 1 << 20;
constexpr DWORD kReadPiece = 64 << 10;

struct InternetCloser {
  void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

// What WinINet's errors mean, in words (its message table is not there on
// every system), and their class. Through a proxy, a name that does not
// resolve or a connection that cannot be made is the proxy's.
Failure WinInetFailure(DWORD code, bool throughProxy) {
  struct Meaning {
    FailureKind kind;
    const char* what;
  };
  auto meaning = [&]() -> Meaning {
    const FailureKind unreachable = throughProxy ? FailureKind::kProxy : FailureKind::kConnect;
    switch (code) {
      case ERROR_INTERNET_TIMEOUT:
        return {FailureKind::kTimeout, "the operation timed out"};
      case ERROR_INTERNET_NAME_NOT_RESOLVED:
        return {throughProxy ? FailureKind::kProxy : FailureKind::kResolve, "the server name could not be resolved"};
      case ERROR_INTERNET_CANNOT_CONNECT:
        return {unreachable, "the connection to the server could not be made"};
      case ERROR_INTERNET_CONNECTION_ABORTED:
        return {FailureKind::kDropped, "the connection was aborted"};
      case ERROR_INTERNET_CONNECTION_RESET:
        return {FailureKind::kDropped, "the connection was reset"};
      case ERROR_HTTP_INVALID_SERVER_RESPONSE:
        return {FailureKind::kMalformed, "the server's response could not be read"};
      case ERROR_INTERNET_INVALID_CA:
        return {FailureKind::kCertUntrusted, "the server's certificate comes from an authority not trusted"};
      case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
        return {FailureKind::kCertExpired, "the server's certificate has expired or is not valid yet"};
      case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        return {FailureKind::kCertName, "the server's certificate is for another name"};
      case ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED:
        return {FailureKind::kCertClient, "the server asks for a client certificate"};
      case ERROR_INTERNET_SEC_CERT_REV_FAILED:
        return {FailureKind::kCertRevocation, "whether the server's certificate was revoked could not be checked"};
      case ERROR_INTERNET_SEC_CERT_ERRORS:
      case ERROR_INTERNET_SEC_CERT_REVOKED:
      case ERROR_INTERNET_SEC_INVALID_CERT:
        return {FailureKind::kCertUntrusted, "the server's certificate was not accepted"};
      case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
        return {FailureKind::kTls, "the secure connection could not be made"};
      default:
        return {FailureKind::kOther, "the request failed"};
    }
  };
  const Meaning m = meaning();
  return {m.kind, "WinINet error " + std::to_string(code) + ": " + m.what};
}

std::string Base64(std::string_view bytes) {
  DWORD size = 0;
  const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
  const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
  if (!CryptBinaryToStringA(data, static_cast<DWORD>(bytes.size()), flags, nullptr, &size)) return {};
  std::string text(size, '\0');
  if (!CryptBinaryToStringA(data, static_cast<DWORD>(bytes.size()), flags, text.data(), &size)) return {};
  text.resize(size);
  return text;
}

// One hop's handles and what its thread hands over. Shared with that
// thread, so a request given up on (a deadline passed, the caller gone)
// returns at once while the thread finishes on its own.
struct Hop {
  InternetHandle internet, connection, request;
  std::string body;

  std::mutex mutex;
  std::condition_variable changed;
  bool busy = false;    // its thread is inside a WinINet call, which may block for long
  bool sent = false;    // HttpSendRequestA returned
  DWORD sendError = 0;  // its error, when it failed
  bool cancelled = false;
  bool ended = false;  // the body's end was read, or reading failed
  DWORD readError = 0;
  std::string pending;  // body bytes received, not yet read
  size_t pendingOffset = 0;
  uint64_t received = 0;
  std::optional<uint64_t> length;  // where the body ends, when the response says so
  bool lowMemory = false;

  size_t Unread() const { return pending.size() - pendingOffset; }

  void SendOnThisThread() {
    const BOOL ok = HttpSendRequestA(request.get(), nullptr, 0, body.empty() ? nullptr : body.data(),
                                     static_cast<DWORD>(body.size()));
    const DWORD error = ok ? 0 : GetLastError();
    std::lock_guard lock(mutex);
    busy = false;
    sent = true;
    sendError = ok || error ? error : ERROR_INTERNET_INTERNAL_ERROR;
    changed.notify_all();
  }

  void ReadOnThisThread() {
    std::vector<char> piece(kReadPiece);
    for (;;) {
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return cancelled || Unread() < kHighWater; });
        if (cancelled) return;
        busy = true;
      }
      // What comes after the announced length is not the body (WinINet would pass it on).
      const DWORD want = length ? static_cast<DWORD>(std::min<uint64_t>(kReadPiece, *length - received)) : kReadPiece;
      DWORD n = 0;
      const BOOL ok = want == 0 || InternetReadFile(request.get(), piece.data(), want, &n);
      const DWORD error = ok ? 0 : GetLastError();
      std::lock_guard lock(mutex);
      busy = false;
      if (!ok || n == 0) {
        readError = error;
        ended = true;
        changed.notify_all();
        return;
      }
      try {
        if (pendingOffset > 0 && pendingOffset >= pending.size() / 2) {
          pending.erase(0, pendingOffset);
          pendingOffset = 0;
        }
        pending.append(piece.data(), n);
      } catch (const std::bad_alloc&) {
        lowMemory = ended = true;
        changed.notify_all();
        return;
      }
      received += n;
      changed.notify_all();
    }
  }
};

// A thread for one of a hop's blocking calls: joined when it has finished,
// let go when the request is given up on while it still blocks.
class HopThread {
 public:
  HopThread() = default;
  HopThread(std::shared_ptr<Hop> hop, void (Hop::*work)())
      : thread_([hop = std::move(hop), work] { (hop.get()->*work)(); }) {}
  HopThread(HopThread&&) = default;
  // A thread still running here is let go rather than waited for: the window must not hang on it.
  HopThread& operator=(HopThread&& other) {
    Finish(false);
    thread_ = std::move(other.thread_);
    return *this;
  }
  ~HopThread() { Finish(false); }

  // `done`: the call has returned or been told to stop, so joining waits for nothing long.
  void Finish(bool done) {
    if (!thread_.joinable()) return;
    if (done) {
      thread_.join();
    } else {
      thread_.detach();
    }
  }

 private:
  std::thread thread_;
};

}  // namespace

struct Request::State {
  const Connection& connection;
  std::string verb;
  std::string target;
  std::string version;
  bool secure;
  std::string origin;  // "http://server:port" of the first hop
  std::string hopUrl;  // the current hop's address

  std::vector<std::string> headerLines;  // AddHeaders, then Send's
  std::string body;
  Clock::time_point deadline = Clock::time_point::max();

  std::shared_ptr<Hop> hop;
  HopThread thread;
  ResponseHead head;
  bool sendCalled = false;
  bool headersDone = false;
  std::optional<uint64_t> contentLength;
  int redirects = 0;
  int firstStatus = 0;  // the first hop's, when it redirected
  Failure refusal;      // why the tool itself stopped the request
  DWORD error = 0;      // WinINet's, when a call failed
  bool throughProxy = false;

  State(const Connection& c, std::string_view v, std::string_view t, std::string_view ver, bool s)
      : connection(c), verb(v), target(t.substr(0, t.find('#'))), version(ver), secure(s) {}

  ~State() { GiveUp(); }

  // Stops the hop's thread, waiting for it only when no call of its blocks.
  void GiveUp() {
    if (!hop) return;
    bool idle;
    {
      std::lock_guard lock(hop->mutex);
      hop->cancelled = true;
      idle = !hop->busy;
      hop->changed.notify_all();
    }
    thread.Finish(idle);
    hop.reset();
  }

  // Waits for `ready` while the window's events run; false when the
  // request's time ran out first.
  template <typename Ready>
  bool WaitPumping(Ready ready) {
    for (;;) {
      {
        std::unique_lock lock(hop->mutex);
        if (hop->changed.wait_for(lock, std::chrono::milliseconds(20), [&] { return ready(*hop); })) return true;
      }
      if (Clock::now() >= deadline) {
        refusal = {FailureKind::kTimeout, "the time allowed for the request ran out"};
        return false;
      }
      PumpEvents();
    }
  }

  // Opens the handles of a hop to `address` and sends it on its own thread.
  bool SendHop(const UrlParts& address, std::string_view requestTarget) {
    const Session& session = connection.GetSession();
    const bool https = address.scheme == "https";
    std::string proxy = session.ProxyFor(https ? "https" : "http", HostOfAddress(hopUrl));
    throughProxy = !proxy.empty();
    DWORD access = proxy.empty() ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PROXY;
    // As the system is configured, and the environment names no proxy: Windows' own settings.
    if (proxy.empty() && session.GetAccess() == Access::kSystem &&
        ProxyNamedByEnvironment(https ? "https" : "http", ProcessEnvironment).empty())
      access = INTERNET_OPEN_TYPE_PRECONFIG;

    auto next = std::make_shared<Hop>();
    next->internet.reset(InternetOpenA(session.Agent().empty() ? nullptr : session.Agent().c_str(), access,
                                       proxy.empty() ? nullptr : proxy.c_str(), nullptr, 0));
    if (next->internet) {
      next->connection.reset(InternetConnectA(next->internet.get(), address.host.c_str(),
                                              static_cast<INTERNET_PORT>(address.port), nullptr, nullptr,
                                              INTERNET_SERVICE_HTTP, 0, 0));
    }
    // Redirects are the tool's to follow, cookies its store's, and nothing is
    // cached, asked of the user or answered to a challenge behind its back.
    DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_CACHE_WRITE |
                  INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTH;
    if (https) flags |= INTERNET_FLAG_SECURE;
    const std::string object(requestTarget);
    if (next->connection) {
      next->request.reset(HttpOpenRequestA(next->connection.get(), verb.c_str(), object.c_str(), version.c_str(),
                                           nullptr, nullptr, flags, 0));
    }
    if (!next->request) {
      error = GetLastError();
      if (error == 0) error = ERROR_INTERNET_INTERNAL_ERROR;
      return false;
    }

    const Timeouts& timeouts = session.GetTimeouts();
    auto limit = [&](std::chrono::milliseconds wanted) -> DWORD {
      auto ms = wanted.count() > 0 ? wanted : std::chrono::milliseconds(0x7fffffff);
      if (deadline != Clock::time_point::max())
        ms = std::min(ms, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
      return static_cast<DWORD>(std::max<long long>(1, ms.count()));
    };
    DWORD connectMs = limit(timeouts.connect), idleMs = limit(timeouts.idle);
    InternetSetOptionA(next->request.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
    InternetSetOptionA(next->request.get(), INTERNET_OPTION_SEND_TIMEOUT, &idleMs, sizeof idleMs);
    InternetSetOptionA(next->request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &idleMs, sizeof idleMs);

    // Host and User-Agent lead, as libcurl writes them, so WinINet adds none
    // of its own further down; then the store's cookies, then the caller's
    // lines. A line of the caller's own of the same name wins.
    std::vector<std::string> lines;
    if (!HasHeader(headerLines, "Host")) {
      const int defaultPort = https ? 443 : 80;
      lines.push_back("Host: " + address.host +
                      (address.port == defaultPort ? std::string() : ":" + std::to_string(address.port)));
    }
    if (!session.Agent().empty() && !HasHeader(headerLines, "User-Agent"))
      lines.push_back("User-Agent: " + session.Agent());
    if (!HasHeader(headerLines, "Cookie")) {
      const std::string cookies = ProcessCookies().CookieLineFor(CookieOriginOf(hopUrl), std::time(nullptr));
      if (!cookies.empty()) lines.push_back("Cookie: " + cookies);
    }
    // Credentials are for the address the caller named, not for wherever it redirects.
    if (redirects == 0 && connection.UserName() && !connection.UserName()->empty() &&
        !HasHeader(headerLines, "Authorization")) {
      lines.push_back("Authorization: Basic " +
                      Base64(*connection.UserName() + ":" + connection.Password().value_or(std::string())));
    }
    lines.insert(lines.end(), headerLines.begin(), headerLines.end());
    for (const std::string& line : lines) {
      const std::string withEnd = line + "\r\n";
      HttpAddRequestHeadersA(next->request.get(), withEnd.c_str(), static_cast<DWORD>(withEnd.size()),
                             HTTP_ADDREQ_FLAG_ADD);
    }

    next->body = body;
    next->busy = true;
    hop = std::move(next);
    thread = HopThread(hop, &Hop::SendOnThisThread);
    if (!WaitPumping([](const Hop& h) { return h.sent; })) return false;
    thread.Finish(true);
    if (hop->sendError != 0) {
      error = hop->sendError;
      return false;
    }
    return true;
  }

  // The hop's response head, read as the tool reads every response.
  bool ReadHead(DWORD& status) {
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(hop->request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
      error = GetLastError();
      return false;
    }
    std::string raw;
    size = 0;
    HttpQueryInfoA(hop->request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &size, nullptr);
    raw.resize(size + 1);
    size = static_cast<DWORD>(raw.size());
    if (!HttpQueryInfoA(hop->request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, raw.data(), &size, nullptr)) {
      error = GetLastError();
      return false;
    }
    raw.resize(size);
    head.Clear();
    std::string_view rest = raw;
    bool ended = false;
    while (!rest.empty() && !ended) {
      const size_t end = rest.find("\r\n");
      const std::string_view line = rest.substr(0, end);
      rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 2);
      ended = line.empty();
      if (std::string why = head.Add(line); !why.empty()) {
        refusal = {FailureKind::kMalformed, std::move(why)};
        return false;
      }
    }
    if (!ended) head.Add("");
    return true;
  }

  bool Run() {
    std::optional<UrlParts> address = CrackUrl(hopUrl);
    std::string requestTarget = target;
    DWORD status = 0;
    for (;;) {
      if (!address) {
        refusal = {FailureKind::kServerName, "address refused: the server name is not one a URL can hold"};
        return false;
      }
      if (!SendHop(*address, requestTarget)) return false;
      if (!ReadHead(status)) return false;
      // Cookies go under the host and path that answered, redirects included.
      const CookieOrigin origin = CookieOriginOf(hopUrl);
      for (const std::string& cookie : head.SetCookies()) ProcessCookies().Store(origin, cookie, std::time(nullptr));
      head.ForgetCookies();
      std::string redirect;
      if (!IsRedirect(status) || head.Location().empty() ||
          (redirect = ResolveLocation(redirects == 0 ? FirstAddress() : hopUrl, head.Location())).empty())
        break;
      if (Failure why = RedirectRefusal(secure, redirect, redirects, connection.GetSession().MaxRedirects())) {
        refusal = std::move(why);
        return false;
      }
      if (redirects == 0) firstStatus = static_cast<int>(status);
      HopRequest next{std::move(verb), std::move(body), std::move(headerLines)};
      PrepareNextHop(next, static_cast<long>(status), HostOfAddress(hopUrl), HostOfAddress(redirect));
      verb = std::move(next.verb);
      body = std::move(next.body);
      headerLines = std::move(next.headerLines);
      GiveUp();  // the redirect's own body is not wanted
      address = CrackUrl(redirect);
      if (address) requestTarget = address->path;
      hopUrl = std::move(redirect);
      ++redirects;
    }
    if (const auto& length = head.ContentLength()) {
      uint64_t value = 0;
      const char* end = length->data() + length->size();
      if (std::from_chars(length->data(), end, value).ptr == end) contentLength = value;
    }
    // A length announced for a body that never comes (HEAD, 204, 304) is not
    // the body's; a chunked body's own framing outranks it.
    const bool bodyless = EqualsIgnoringCase(verb, "HEAD") || status == 204 || status == 304;
    hop->length = bodyless ? std::optional<uint64_t>(0) : head.Chunked() ? std::nullopt : contentLength;
    headersDone = true;
    thread = HopThread(hop, &Hop::ReadOnThisThread);
    return true;
  }

  // What a first Location is relative to: the target as sent.
  std::string FirstAddress() const { return origin + target; }
};

Request::Request(const Connection& connection, std::string_view verb, std::string_view target, std::string_view version,
                 unsigned flags) {
  if (!connection.IsOpen()) {
    refusal_ = {FailureKind::kNoSession, "no HTTP session"};
    return;
  }
  const bool secure = (flags & kSecure) != 0;
  auto state = std::make_unique<State>(connection, verb.empty() ? "GET" : verb, target,
                                       version.empty() ? "HTTP/1.1" : version, secure);
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
  if (s.Run()) return true;
  s.GiveUp();
  return false;
}

size_t Request::Read(char* buffer, size_t capacity) {
  if (!state_ || !state_->headersDone || !state_->hop || capacity == 0) return 0;
  State& s = *state_;
  if (!s.WaitPumping([](const Hop& h) { return h.Unread() > 0 || h.ended; })) {
    s.GiveUp();
    return 0;
  }
  Hop& hop = *s.hop;
  std::lock_guard lock(hop.mutex);
  const size_t n = std::min(capacity, hop.Unread());
  std::memcpy(buffer, hop.pending.data() + hop.pendingOffset, n);
  hop.pendingOffset += n;
  if (hop.pendingOffset == hop.pending.size()) {
    hop.pending.clear();
    hop.pendingOffset = 0;
  }
  hop.changed.notify_all();
  return n;
}

bool Request::QueryRawHeaders(std::string& block, size_t capacity) const {
  return state_ && state_->headersDone && state_->head.CopyBlock(block, capacity);
}

std::optional<uint64_t> Request::ContentLength() const {
  if (!state_ || !state_->headersDone) return std::nullopt;
  return state_->contentLength;
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
  if (s.error != 0) return WinInetFailure(s.error, s.throughProxy);
  if (!s.sendCalled) return {FailureKind::kOther, "no response"};
  if (!s.hop) return {};
  Hop& hop = *s.hop;
  std::lock_guard lock(hop.mutex);
  if (hop.lowMemory)
    return {FailureKind::kMemory, "not enough memory for the body after " + MiB(hop.received) + " MiB"};
  if (!hop.ended || hop.Unread() > 0) return {};
  if (hop.readError != 0) return WinInetFailure(hop.readError, s.throughProxy);
  return CutShortFailure(false, hop.length, hop.received);
}

}  // namespace pakeno::transport
