#include "platform/request.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <utility>
#include <vector>

#include "base/ascii.h"
#include "platform/cookie_store.h"
#include "platform/event_pump.h"
#include "platform/header_lines.h"
#include "platform/linux/curl_handles.h"
#include "platform/redirects.h"
#include "platform/response_head.h"
#include "platform/server_address.h"

namespace pakeno::transport {
namespace {

using Clock = std::chrono::steady_clock;

// Above this much unread body the transfer pauses until the reader catches up.
constexpr size_t kHighWater = 1 << 20;

// The class of a failed transfer, from libcurl's code and what it knows of the
// certificate and the proxy.
FailureKind KindOf(CURLcode code, CURL* easy, bool throughProxy) {
  long proxyStatus = 0;
  curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &proxyStatus);
  if (proxyStatus >= 300) return FailureKind::kProxy;
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return throughProxy ? FailureKind::kProxy : FailureKind::kResolve;
    case CURLE_COULDNT_RESOLVE_PROXY:
      return FailureKind::kProxy;
    case CURLE_COULDNT_CONNECT:
      return throughProxy ? FailureKind::kProxy : FailureKind::kConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return FailureKind::kTimeout;
    case CURLE_PEER_FAILED_VERIFICATION: {
      // OpenSSL's verdict on the chain. A chain it accepted failed on the
      // name, which libcurl checks itself and then reports as 0 or 1
      // (X509_V_ERR_UNSPECIFIED), as OpenSSL would as 62.
      long verdict = 0;
      curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verdict);
      constexpr long kUnspecified = 1, kNotYetValid = 9, kExpired = 10, kHostnameMismatch = 62;
      if (verdict == kNotYetValid || verdict == kExpired) return FailureKind::kCertExpired;
      if (verdict == 0 || verdict == kUnspecified || verdict == kHostnameMismatch) return FailureKind::kCertName;
      return FailureKind::kCertUntrusted;
    }
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_INITFAILED:
      return FailureKind::kTls;
    case CURLE_SSL_CLIENTCERT:
      return FailureKind::kCertClient;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      return FailureKind::kDropped;
    case CURLE_PARTIAL_FILE:
      return FailureKind::kCutShort;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_URL_MALFORMAT:
      return FailureKind::kMalformed;
    case CURLE_OUT_OF_MEMORY:
      return FailureKind::kMemory;
    case CURLE_TOO_MANY_REDIRECTS:
      return FailureKind::kTooManyRedirects;
    default:
      return FailureKind::kOther;
  }
}

// The CA bundle named by the variables curl itself reads, in curl's order;
// else the library's default.
const char* CaBundleFromEnvironment() {
  for (const char* name : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return nullptr;
}

}  // namespace

struct Request::State {
  const Connection& connection;
  std::string verb;
  std::string target;
  bool http10;
  bool secure;
  std::string origin;  // "http://server:port" of the first hop

  // libcurl holds pointers into these for as long as the transfer exists:
  // declared before it, they are destroyed after it.
  detail::Url hop;  // the address of the current hop
  detail::Slist headerList;
  std::string body;
  char errorText[CURL_ERROR_SIZE] = {};

  detail::Easy easy;
  detail::Multi multi;
  std::string hopUrl;  // the current hop's address, as text
  bool attached = false;

  std::vector<std::string> headerLines;  // AddHeaders, then Send's
  std::string requestTarget;
  std::string proxy;
  Clock::time_point deadline = Clock::time_point::max();

  // The response being received.
  ResponseHead head;         // its Set-Cookie lines are stored once the block is complete and accepted
  bool headersDone = false;  // the final response's header block is complete
  std::string redirect;      // set when the current response is to be followed
  long redirectStatus = 0;
  long firstStatus = 0;  // the first hop's, when it redirected
  int redirects = 0;
  bool done = false;
  CURLcode result = CURLE_OK;
  Failure refusal;  // why the tool itself stopped the request

  std::string pending;  // body bytes received, not yet read
  size_t pendingOffset = 0;
  uint64_t received = 0;
  bool paused = false;

  State(const Connection& c, std::string_view v, std::string_view t, std::string_view version, bool s)
      : connection(c), verb(v), target(t.substr(0, t.find('#'))), http10(version == "HTTP/1.0"), secure(s) {}

  size_t Unread() const { return pending.size() - pendingOffset; }

  // No exception may unwind through libcurl's frames: running out of memory
  // ends the transfer, as a failure that says so.
  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    State& state = *static_cast<State*>(self);
    try {
      return state.Header(std::string_view(data, size * count));
    } catch (const std::bad_alloc&) {
      state.refusal = {FailureKind::kMemory, "not enough memory for the response's header block"};
      return 0;
    }
  }
  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    State& state = *static_cast<State*>(self);
    try {
      return state.BodyPiece(std::string_view(data, size * count));
    } catch (const std::bad_alloc&) {
      state.refusal = {FailureKind::kMemory, "not enough memory for the body after " + MiB(state.received) + " MiB"};
      return 0;
    }
  }

  // Refuses the response being received: the transfer ends, as a failure.
  size_t Refuse(Failure why) {
    refusal = std::move(why);
    return 0;
  }

  size_t Header(std::string_view line) {
    if (line.starts_with("HTTP/")) {  // a new response: 1xx, redirect or final
      head.Clear();
      redirect.clear();
    } else if (headersDone) {
      return line.size();  // a chunked body's trailer: neither the header block nor cookies
    }
    if (std::string why = head.Add(line); !why.empty()) return Refuse({FailureKind::kMalformed, std::move(why)});
    if (line.find_first_not_of("\r\n") != std::string_view::npos) return line.size();

    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status / 100 == 1) return line.size();  // an interim response; the real one follows
    // Cookies go under the host and path that answered, redirects included.
    const CookieOrigin origin = CookieOriginOf(hopUrl);
    for (const std::string& cookie : head.SetCookies()) ProcessCookies().Store(origin, cookie, std::time(nullptr));
    head.ForgetCookies();
    if (IsRedirect(status) && !head.Location().empty() &&
        !(redirect = ResolveLocation(Base(), head.Location())).empty()) {
      redirectStatus = status;
      if (redirects == 0) firstStatus = status;
      if (Failure why = RedirectRefusal(secure, redirect, redirects, connection.GetSession().MaxRedirects()); why) {
        redirect.clear();
        return Refuse(std::move(why));
      }
    } else {
      headersDone = true;
    }
    return line.size();
  }

  size_t BodyPiece(std::string_view piece) {
    if (!redirect.empty()) return 0;  // a redirect's body is not wanted: end that hop now
    if (Unread() >= kHighWater) {
      paused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    if (pendingOffset > 0 && pendingOffset >= pending.size() / 2) {
      pending.erase(0, pendingOffset);
      pendingOffset = 0;
    }
    pending.append(piece);
    received += piece.size();
    return piece.size();
  }

  // What a Location is relative to: the target as sent, then each hop's address.
  std::string Base() const { return redirects == 0 ? origin + target : hopUrl; }

  // The first hop's address: the server's name as given, set alone so that
  // nothing in it is read as a user name, a query or a fragment, and the
  // target's path, which the cookie store matches its paths against.
  bool BuildFirstHop(int port) {
    hop.reset(curl_url());
    if (!hop) return false;
    const std::string portText = std::to_string(port);
    char* text = nullptr;
    const bool built = curl_url_set(hop.get(), CURLUPART_SCHEME, secure ? "https" : "http", 0) == CURLUE_OK &&
                       curl_url_set(hop.get(), CURLUPART_HOST, connection.Server().c_str(), 0) == CURLUE_OK &&
                       curl_url_set(hop.get(), CURLUPART_PORT, portText.c_str(), 0) == CURLUE_OK &&
                       curl_url_set(hop.get(), CURLUPART_PATH, CookiePathOf(target).c_str(), 0) == CURLUE_OK &&
                       curl_url_get(hop.get(), CURLUPART_URL, &text, 0) == CURLUE_OK;
    if (built) hopUrl = detail::CurlText(text).get();
    return built;
  }

  // Sets the options of one hop: `hop` with the current verb, headers and body.
  bool Configure() {
    CURL* e = easy.get();
    const Session& session = connection.GetSession();
    const Timeouts& timeouts = session.GetTimeouts();
    const bool https = StartsWithIgnoringCase(hopUrl, "https://");

    curl_easy_setopt(e, CURLOPT_CURLU, hop.get());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);  // followed here, see Header()
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(e, CURLOPT_USERAGENT, session.Agent().c_str());
    curl_easy_setopt(e, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    curl_easy_setopt(e, CURLOPT_HTTP_TRANSFER_DECODING, 1L);
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, 128L * 1024);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorText);
    if (const char* bundle = CaBundleFromEnvironment()) curl_easy_setopt(e, CURLOPT_CAINFO, bundle);

    // The overall limit holds for the whole request: each hop gets what is left of it.
    long totalMs = static_cast<long>(timeouts.total.count());
    long connectMs = static_cast<long>(timeouts.connect.count());
    if (deadline != Clock::time_point::max()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) {
        refusal = {FailureKind::kTimeout, "the time allowed for the request ran out"};
        return false;
      }
      totalMs = static_cast<long>(left);
      connectMs = std::min(connectMs, totalMs);
    }
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, totalMs);
    // Less than one byte a second over the idle period: nothing is coming.
    const long idleSeconds = std::max<long>(1, static_cast<long>((timeouts.idle.count() + 999) / 1000));
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, idleSeconds);

    // The proxy is decided here, not by libcurl, so the request line can be
    // written for it: through a proxy a plain-http target is the absolute address.
    proxy = session.ProxyFor(https ? "https" : "http", HostOfAddress(hopUrl));
    curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str());  // "": direct, whatever the environment says
    curl_easy_setopt(e, CURLOPT_NOPROXY, "");

    if (redirects == 0) {
      // The target goes out exactly as given; through a proxy in absolute form.
      requestTarget = !proxy.empty() && !https ? origin + target : target;
      if (curl_easy_setopt(e, CURLOPT_REQUEST_TARGET, requestTarget.c_str()) != CURLE_OK) {
        refusal = {FailureKind::kTargetCharacters, "address refused: the request target cannot be set"};
        return false;
      }
    } else {
      curl_easy_setopt(e, CURLOPT_REQUEST_TARGET, nullptr);
    }

    if (redirects == 0 && connection.UserName() && !connection.UserName()->empty()) {
      curl_easy_setopt(e, CURLOPT_USERNAME, connection.UserName()->c_str());
      curl_easy_setopt(e, CURLOPT_PASSWORD, connection.Password() ? connection.Password()->c_str() : "");
    } else {
      // Credentials are for the address the caller named, not for wherever it redirects.
      curl_easy_setopt(e, CURLOPT_USERNAME, nullptr);
      curl_easy_setopt(e, CURLOPT_PASSWORD, nullptr);
    }

    const bool hasBody = !body.empty() || EqualsIgnoringCase(verb, "POST");
    if (verb == "GET") {
      curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
      curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, nullptr);
    } else {
      if (hasBody) {
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, body.data());
      } else {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
      }
      curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, verb == "POST" ? nullptr : verb.c_str());
    }

    // The store's cookies for this hop, where libcurl's engine would put
    // them: before the caller's lines. A Cookie line of the caller's own wins.
    std::vector<std::string> lines;
    if (!HasHeader(headerLines, "Cookie")) {
      const std::string cookies = ProcessCookies().CookieLineFor(CookieOriginOf(hopUrl), std::time(nullptr));
      if (!cookies.empty()) lines.push_back("Cookie: " + cookies);
    }
    lines.insert(lines.end(), headerLines.begin(), headerLines.end());
    // libcurl's own Accept, Expect and Content-Type are suppressed: only
    // what the caller gave goes out.
    for (std::string_view name : {"Accept", "Expect", "Content-Type"}) {
      if (!HasHeader(lines, name)) lines.push_back(std::string(name) + ":");
    }
    detail::Slist list;
    for (const std::string& line : lines) {
      curl_slist* grown = curl_slist_append(list.get(), line.c_str());
      if (!grown) return false;
      list.release();
      list.reset(grown);
    }
    headerList = std::move(list);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headerList.get());
    return true;
  }

  // Moves to the redirect's address, as a browser would.
  bool FollowRedirect() {
    HopRequest next{std::move(verb), std::move(body), std::move(headerLines)};
    PrepareNextHop(next, redirectStatus, HostOfAddress(hopUrl), HostOfAddress(redirect));
    verb = std::move(next.verb);
    body = std::move(next.body);
    headerLines = std::move(next.headerLines);
    hop.reset(curl_url());
    if (!hop ||
        curl_url_set(hop.get(), CURLUPART_URL, redirect.c_str(), CURLU_ALLOW_SPACE | CURLU_PATH_AS_IS) != CURLUE_OK)
      return false;
    // Credentials come from the user alone, never from a server's Location.
    curl_url_set(hop.get(), CURLUPART_USER, nullptr, 0);
    curl_url_set(hop.get(), CURLUPART_PASSWORD, nullptr, 0);
    hopUrl = std::move(redirect);
    redirect.clear();
    ++redirects;
    return true;
  }

  bool Start() {
    head.Clear();
    headersDone = false;
    done = false;
    result = CURLE_OK;
    errorText[0] = '\0';
    if (!Configure() || curl_multi_add_handle(multi.get(), easy.get()) != CURLM_OK) {
      done = true;
      result = CURLE_FAILED_INIT;
      return false;
    }
    attached = true;
    return true;
  }

  // libcurl's multi interface itself failed: the request ends with its reason.
  void MultiFailed(CURLMcode code) {
    refusal = {FailureKind::kOther, std::string("libcurl failed: ") + curl_multi_strerror(code)};
    redirect.clear();
    done = true;
    result = CURLE_FAILED_INIT;
  }

  void Detach() {
    if (attached) curl_multi_remove_handle(multi.get(), easy.get());
    attached = false;
  }

  // One round of work on this request's own transfer: perform, collect the
  // outcome, follow a redirect, or wait briefly for the socket, letting the
  // window's events run every few milliseconds while nothing arrives.
  void Step() {
    const size_t unreadBefore = Unread();
    const bool headersBefore = headersDone;
    int running = 0;
    if (const CURLMcode code = curl_multi_perform(multi.get(), &running); code != CURLM_OK) {
      MultiFailed(code);
      return;
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
      if (message->msg == CURLMSG_DONE && message->easy_handle == easy.get()) {
        done = true;
        result = message->data.result;
      }
    }
    if (done) {
      if (!redirect.empty()) {
        Detach();
        if (FollowRedirect()) {
          Start();
        } else {
          result = CURLE_URL_MALFORMAT;
          redirect.clear();
        }
        return;
      }
      // A response that ended without the empty line still counts as received.
      if (result == CURLE_OK) headersDone = true;
      return;
    }
    if (Unread() == unreadBefore && headersDone == headersBefore) {
      int ready = 0;
      if (const CURLMcode code = curl_multi_poll(multi.get(), nullptr, 0, 20, &ready); code != CURLM_OK) {
        MultiFailed(code);
        return;
      }
      if (ready == 0) PumpEvents();
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
  state->easy.reset(curl_easy_init());
  state->multi.reset(curl_multi_init());
  if (!state->easy || !state->multi) {
    refusal_ = {FailureKind::kOther, "libcurl could not make a transfer"};
    return;
  }
  // A name that cannot be a server's resolves nowhere: the request is made,
  // and fails when sent, with nothing on the wire.
  const int port = connection.Port() == 0 ? (secure ? 443 : 80) : connection.Port();
  state->refusal = connection.Refusal();
  if (!state->refusal && !state->BuildFirstHop(port)) {
    state->refusal = {FailureKind::kServerName, "address refused: the server name is not one a URL can hold"};
  }
  state->origin = std::string(secure ? "https://" : "http://") + connection.Server();
  if (port != (secure ? 443 : 80)) state->origin += ":" + std::to_string(port);
  CURL* e = state->easy.get();
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &State::OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, state.get());
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &State::OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, state.get());
  state_ = std::move(state);
}

Request::~Request() {
  if (state_) state_->Detach();
}

bool Request::IsOpen() const { return state_ != nullptr; }

bool Request::AddHeaders(std::string_view block) { return state_ && MergeHeaderBlock(state_->headerLines, block); }

bool Request::Send(std::string_view headers, std::string_view body) {
  if (!state_ || state_->attached || state_->done) return false;
  State& s = *state_;
  for (std::string& line : SplitHeaderLines(headers)) s.headerLines.push_back(std::move(line));
  if (!s.refusal) s.refusal = RequestRefusal(s.target, s.headerLines);
  if (s.refusal) {
    s.done = true;
    return false;
  }
  s.body.assign(body);
  const Timeouts& timeouts = s.connection.GetSession().GetTimeouts();
  if (timeouts.total.count() > 0) s.deadline = Clock::now() + timeouts.total;
  if (!s.Start()) return false;
  while (!s.headersDone && !(s.done && s.redirect.empty())) s.Step();
  return s.headersDone;
}

size_t Request::Read(char* buffer, size_t capacity) {
  if (!state_ || !state_->headersDone || capacity == 0) return 0;
  State& s = *state_;
  while (s.Unread() == 0) {
    if (s.paused) {
      s.paused = false;
      curl_easy_pause(s.easy.get(), CURLPAUSE_CONT);
      continue;
    }
    if (s.done) return 0;
    s.Step();
  }
  const size_t n = std::min(capacity, s.Unread());
  std::memcpy(buffer, s.pending.data() + s.pendingOffset, n);
  s.pendingOffset += n;
  if (s.pendingOffset == s.pending.size()) {
    s.pending.clear();
    s.pendingOffset = 0;
  }
  return n;
}

bool Request::QueryRawHeaders(std::string& block, size_t capacity) const {
  return state_ && state_->headersDone && state_->head.CopyBlock(block, capacity);
}

std::optional<uint64_t> Request::ContentLength() const {
  if (!state_ || !state_->headersDone) return std::nullopt;
  curl_off_t length = -1;
  curl_easy_getinfo(state_->easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  if (length < 0) return std::nullopt;
  return static_cast<uint64_t>(length);
}

CookieOrigin Request::ResponseOrigin() const { return state_ ? CookieOriginOf(state_->hopUrl) : CookieOrigin{}; }

ResponseSummary Request::Summary() const {
  if (!state_ || !state_->headersDone) return {};
  const State& s = *state_;
  return {s.head.Status(), std::string(s.head.ReasonPhrase()), s.redirects, static_cast<int>(s.firstStatus)};
}

Failure Request::GetFailure() const {
  if (!state_) return refusal_;
  const State& s = *state_;
  if (s.refusal) return s.refusal;
  if (s.result == CURLE_OK) return s.done || s.headersDone ? Failure() : Failure{FailureKind::kOther, "no response"};
  // A body cut short or malformed in our own words: libcurl's differ from one version to the next.
  if (s.result == CURLE_PARTIAL_FILE) {
    if (Failure why = CutShortFailure(s.head.Chunked(), ContentLength(), s.received)) return why;
  }
  if (s.result == CURLE_RECV_ERROR && s.head.Chunked() && s.headersDone)
    return {FailureKind::kMalformed, "the chunked body is malformed"};
  return {KindOf(s.result, s.easy.get(), !s.proxy.empty()),
          s.errorText[0] ? s.errorText : curl_easy_strerror(s.result)};
}

}  // namespace pakeno::transport
