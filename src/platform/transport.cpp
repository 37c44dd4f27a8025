#include "platform/transport.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/ascii.h"
#include "platform/curl_handles.h"
#include "platform/event_pump.h"

namespace pakeno::transport {
namespace {

using Clock = std::chrono::steady_clock;

Timeouts& DefaultTimeouts() {
  static Timeouts timeouts;
  return timeouts;
}

bool& RefuseSessions() {
  static bool refuse = false;
  return refuse;
}

// Above this much unread body the transfer pauses until the reader catches up.
constexpr size_t kHighWater = 1 << 20;

// The header name of a line, up to its colon; empty when it has none.
std::string_view HeaderName(std::string_view line) {
  const size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string_view{} : line.substr(0, colon);
}

// Splits a CR LF block into its non-empty lines.
std::vector<std::string> SplitLines(std::string_view block) {
  std::vector<std::string> lines;
  while (!block.empty()) {
    size_t end = block.find("\r\n");
    std::string_view line = block.substr(0, end);
    if (!line.empty()) lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    block.remove_prefix(end + 2);
  }
  return lines;
}

// A CR, LF or NUL inside one line of the request would end that line early
// and let the rest pass for a header or a request of its own.
bool BreaksTheLine(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

// The CA bundle named by the variables curl itself reads, in curl's order;
// else the library's default.
const char* CaBundleFromEnvironment() {
  for (const char* name : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return nullptr;
}

bool IsRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Why a text cannot be a server's name; empty when it can be one.
std::string ServerNameRefusal(std::string_view server) {
  if (server.empty()) return "address refused: no server name";
  for (const unsigned char c : server) {
    if (c <= 0x20 || c == 0x7F) return "address refused: the server name holds a blank or a control character";
    if (std::strchr("@?#/\\", c)) return std::string("address refused: the server name holds \"") + static_cast<char>(c) + "\"";
  }
  return {};
}

// The bytes of a path that a URL cannot hold as they are, written as %XX.
// Only the cookie store reads this path; the wire gets the target as given.
std::string EscapeForUrl(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (const unsigned char c : path) {
    if (c <= 0x20 || c >= 0x7F || std::strchr("\"<>\\^`{|}", c)) {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 15];
    } else {
      escaped += static_cast<char>(c);
    }
  }
  return escaped;
}

std::string HostOfUrl(CURLU* url) {
  char* host = nullptr;
  if (curl_url_get(url, CURLUPART_HOST, &host, 0) != CURLUE_OK) return {};
  return detail::CurlText(host).get();
}

}  // namespace

Timeouts SetDefaultTimeouts(const Timeouts& timeouts) { return std::exchange(DefaultTimeouts(), timeouts); }

void SetSessionRefusalForTesting(bool refuse) { RefuseSessions() = refuse; }

// ---------------------------------------------------------------------------
// Session

Session::Session(std::string_view agent, Access access, std::string_view proxyList)
    : agent_(agent), access_(access), timeouts_(DefaultTimeouts()) {
  if (RefuseSessions() || !detail::GlobalInit()) return;
  if (access == Access::kProxy) {
    proxies_ = ParseProxyList(proxyList);
    if (proxies_.http.empty() && proxies_.https.empty()) return;  // a proxy session needs a proxy
  }
  open_ = true;
}

std::string Session::ProxyFor(std::string_view scheme, std::string_view host) const {
  switch (access_) {
    case Access::kDirect: return {};
    case Access::kProxy: return scheme == "https" ? proxies_.https : proxies_.http;
    case Access::kSystem: return SystemProxyFor(scheme, host, ProcessEnvironment);
  }
  return {};
}

// ---------------------------------------------------------------------------
// Connection

Connection::Connection(const Session& session, std::string_view server, int port, std::optional<std::string> userName,
                       std::optional<std::string> password)
    : session_(session),
      server_(server),
      port_(port),
      userName_(std::move(userName)),
      password_(std::move(password)),
      refusal_(ServerNameRefusal(server)) {}

// ---------------------------------------------------------------------------
// Request

struct Request::State {
  const Connection& connection;
  std::string verb;
  std::string target;
  bool http10;
  bool secure;
  std::string origin;  // "http://server:port" of the first hop

  detail::Easy easy;
  detail::Multi multi;
  detail::Url hop;  // the address of the current hop
  bool attached = false;

  std::vector<std::string> headerLines;  // AddHeaders, then Send's
  detail::Slist headerList;
  std::string body;
  std::string requestTarget;
  std::string proxy;
  Clock::time_point deadline = Clock::time_point::max();

  // The response being received.
  std::string headerBlock;
  bool headersDone = false;  // the final response's header block is complete
  std::string location;      // the current response's Location header
  detail::Url redirect;      // set when the current response is to be followed
  long redirectStatus = 0;
  int redirects = 0;
  bool done = false;
  CURLcode result = CURLE_OK;
  std::string refusal;  // why the tool itself stopped the request
  char errorText[CURL_ERROR_SIZE] = {};

  std::string pending;  // body bytes received, not yet read
  size_t pendingOffset = 0;
  bool paused = false;

  State(const Connection& c, std::string_view v, std::string_view t, std::string_view version, bool s)
      : connection(c), verb(v), target(t), http10(version == "HTTP/1.0"), secure(s) {}

  size_t Unread() const { return pending.size() - pendingOffset; }

  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    return static_cast<State*>(self)->Header(std::string_view(data, size * count));
  }
  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    return static_cast<State*>(self)->BodyPiece(std::string_view(data, size * count));
  }

  size_t Header(std::string_view line) {
    if (line.starts_with("HTTP/")) {  // a new response: 1xx, redirect or final
      headerBlock.clear();
      location.clear();
      redirect.reset();
    }
    std::string_view content = line;
    while (!content.empty() && (content.back() == '\n' || content.back() == '\r')) content.remove_suffix(1);
    headerBlock.append(content).append("\r\n");
    if (StartsWithIgnoringCase(content, "Location:")) {
      std::string_view value = content.substr(9);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
      location = value;
    }
    if (!content.empty()) return line.size();

    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status / 100 == 1) return line.size();  // an interim response; the real one follows
    if (IsRedirect(status) && !location.empty() && (redirect = Resolve(location))) {
      redirectStatus = status;
      if (secure && !IsHttps(redirect.get())) {
        // What was meant to travel encrypted must not be re-sent in clear.
        refusal = "a redirect from https to plain http was refused";
        redirect.reset();
        return 0;  // ends the transfer
      }
    } else {
      headersDone = true;
    }
    return line.size();
  }

  size_t BodyPiece(std::string_view piece) {
    if (redirect) return 0;  // a redirect's body is not wanted: end that hop now
    if (Unread() >= kHighWater) {
      paused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    if (pendingOffset > 0 && pendingOffset >= pending.size() / 2) {
      pending.erase(0, pendingOffset);
      pendingOffset = 0;
    }
    pending.append(piece);
    return piece.size();
  }

  static bool IsHttps(CURLU* url) {
    char* scheme = nullptr;
    if (curl_url_get(url, CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) return false;
    return EqualsIgnoringCase(detail::CurlText(scheme).get(), "https");
  }

  // The absolute address of a Location value, relative to the current hop's.
  detail::Url Resolve(const std::string& reference) const {
    detail::Url resolved(redirects == 0 ? curl_url() : curl_url_dup(hop.get()));
    if (!resolved) return {};
    constexpr unsigned kLenient = CURLU_ALLOW_SPACE | CURLU_PATH_AS_IS;
    if (redirects == 0) {
      const std::string base = origin + target;
      if (curl_url_set(resolved.get(), CURLUPART_URL, base.c_str(), kLenient) != CURLUE_OK) return {};
    }
    if (curl_url_set(resolved.get(), CURLUPART_URL, reference.c_str(), kLenient | CURLU_URLENCODE) != CURLUE_OK)
      return {};
    return resolved;
  }

  // The first hop's address: the server's name as given, set alone so that
  // nothing in it is read as a user name, a query or a fragment, and the
  // target's path, which the cookie store matches its paths against.
  bool BuildFirstHop(int port) {
    hop.reset(curl_url());
    if (!hop) return false;
    std::string path = target.substr(0, target.find_first_of("?#"));
    if (!path.starts_with('/')) path.insert(0, "/");
    const std::string portText = std::to_string(port);
    return curl_url_set(hop.get(), CURLUPART_SCHEME, secure ? "https" : "http", 0) == CURLUE_OK &&
           curl_url_set(hop.get(), CURLUPART_HOST, connection.Server().c_str(), 0) == CURLUE_OK &&
           curl_url_set(hop.get(), CURLUPART_PORT, portText.c_str(), 0) == CURLUE_OK &&
           curl_url_set(hop.get(), CURLUPART_PATH, EscapeForUrl(path).c_str(), 0) == CURLUE_OK;
  }

  // Sets the options of one hop: `hop` with the current verb, headers and body.
  bool Configure() {
    CURL* e = easy.get();
    const Session& session = connection.GetSession();
    const Timeouts& timeouts = session.GetTimeouts();
    const bool https = IsHttps(hop.get());

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
        refusal = "the time allowed for the request ran out";
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
    proxy = session.ProxyFor(https ? "https" : "http", HostOfUrl(hop.get()));
    curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str());  // "": direct, whatever the environment says
    curl_easy_setopt(e, CURLOPT_NOPROXY, "");

    if (redirects == 0) {
      // The target goes out exactly as given; through a proxy in absolute form.
      requestTarget = !proxy.empty() && !https ? origin + target : target;
      curl_easy_setopt(e, CURLOPT_REQUEST_TARGET, requestTarget.c_str());
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

    // libcurl's own Accept, Expect and Content-Type are suppressed: only
    // what the caller gave goes out.
    std::vector<std::string> lines = headerLines;
    auto has = [&](std::string_view name) {
      return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return EqualsIgnoringCase(HeaderName(l), name); });
    };
    for (std::string_view name : {"Accept", "Expect", "Content-Type"}) {
      if (!has(name)) lines.push_back(std::string(name) + ":");
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

  // Moves to the redirect's address, as a browser would: 303, and 301/302
  // after a POST, become a GET without body.
  void FollowRedirect() {
    // The Referer names the address the user typed, query included: it is
    // for the server the user named, not for wherever that one sends us.
    if (!EqualsIgnoringCase(HostOfUrl(redirect.get()), HostOfUrl(hop.get()))) {
      std::erase_if(headerLines, [](const std::string& l) { return EqualsIgnoringCase(HeaderName(l), "Referer"); });
    }
    hop = std::move(redirect);
    ++redirects;
    if (redirectStatus == 303 || ((redirectStatus == 301 || redirectStatus == 302) && EqualsIgnoringCase(verb, "POST"))) {
      if (!EqualsIgnoringCase(verb, "HEAD")) verb = "GET";
      body.clear();
      std::erase_if(headerLines, [](const std::string& l) {
        return EqualsIgnoringCase(HeaderName(l), "Content-Length") || EqualsIgnoringCase(HeaderName(l), "Content-Type");
      });
    }
  }

  bool Start() {
    headerBlock.clear();
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
    curl_multi_perform(multi.get(), &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
      if (message->msg == CURLMSG_DONE && message->easy_handle == easy.get()) {
        done = true;
        result = message->data.result;
      }
    }
    if (done) {
      if (redirect) {
        Detach();
        if (redirects >= connection.GetSession().MaxRedirects()) {  // a loop ends as a failure
          result = CURLE_TOO_MANY_REDIRECTS;
          redirect.reset();
          return;
        }
        FollowRedirect();
        Start();
        return;
      }
      // A response that ended without the empty line still counts as received.
      if (result == CURLE_OK) headersDone = true;
      return;
    }
    if (Unread() == unreadBefore && headersDone == headersBefore) {
      int ready = 0;
      curl_multi_poll(multi.get(), nullptr, 0, 20, &ready);
      if (ready == 0) PumpEvents();
    }
  }
};

Request::Request(const Connection& connection, std::string_view verb, std::string_view target,
                 std::string_view version, unsigned flags) {
  if (!connection.IsOpen()) {
    refusal_ = "no HTTP session";
    return;
  }
  const bool secure = (flags & kSecure) != 0;
  auto state = std::make_unique<State>(connection, verb.empty() ? "GET" : verb, target, version, secure);
  state->easy.reset(curl_easy_init());
  state->multi.reset(curl_multi_init());
  if (!state->easy || !state->multi) {
    refusal_ = "libcurl could not make a transfer";
    return;
  }
  // A name that cannot be a server's resolves nowhere: the request is made,
  // and fails when sent, with nothing on the wire.
  const int port = connection.Port() == 0 ? (secure ? 443 : 80) : connection.Port();
  state->refusal = connection.Refusal();
  if (state->refusal.empty() && !state->BuildFirstHop(port)) {
    state->refusal = "address refused: the server name is not one a URL can hold";
  }
  state->origin = std::string(secure ? "https://" : "http://") + connection.Server();
  if (port != (secure ? 443 : 80)) state->origin += ":" + std::to_string(port);
  CURL* e = state->easy.get();
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &State::OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, state.get());
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &State::OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, state.get());
  detail::UseCookieStore(e);
  state_ = std::move(state);
}

Request::~Request() {
  if (state_) state_->Detach();
}

bool Request::IsOpen() const { return state_ != nullptr; }

bool Request::AddHeaders(std::string_view block) {
  if (!state_) return false;
  const std::vector<std::string> lines = SplitLines(block);
  if (lines.empty()) return false;
  for (const std::string& line : lines) {
    const std::string_view name = HeaderName(line);
    auto same = std::find_if(state_->headerLines.begin(), state_->headerLines.end(), [&](const std::string& l) {
      return !name.empty() && EqualsIgnoringCase(HeaderName(l), name);
    });
    if (same != state_->headerLines.end()) {
      *same = line;
    } else {
      state_->headerLines.push_back(line);
    }
  }
  return true;
}

bool Request::Send(std::string_view headers, std::string_view body) {
  if (!state_ || state_->attached || state_->done) return false;
  State& s = *state_;
  for (std::string& line : SplitLines(headers)) s.headerLines.push_back(std::move(line));
  if (s.refusal.empty() && BreaksTheLine(s.target)) s.refusal = "address refused: the request target holds a line break or a NUL byte";
  if (s.refusal.empty() &&
      std::any_of(s.headerLines.begin(), s.headerLines.end(), [](const std::string& l) { return BreaksTheLine(l); }))
    s.refusal = "a header line holds a line break or a NUL byte";
  if (!s.refusal.empty()) {
    s.done = true;
    return false;
  }
  s.body.assign(body);
  const Timeouts& timeouts = s.connection.GetSession().GetTimeouts();
  if (timeouts.total.count() > 0) s.deadline = Clock::now() + timeouts.total;
  if (!s.Start()) return false;
  while (!s.headersDone && !(s.done && !s.redirect)) s.Step();
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
  if (!state_ || !state_->headersDone || state_->headerBlock.empty()) return false;
  if (state_->headerBlock.size() + 1 > capacity) return false;
  block = state_->headerBlock;
  return true;
}

std::optional<uint64_t> Request::ContentLength() const {
  if (!state_ || !state_->headersDone) return std::nullopt;
  curl_off_t length = -1;
  curl_easy_getinfo(state_->easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  if (length < 0) return std::nullopt;
  return static_cast<uint64_t>(length);
}

std::string Request::Failure() const {
  if (!state_) return refusal_;
  const State& s = *state_;
  if (!s.refusal.empty()) return s.refusal;
  if (s.result == CURLE_OK) return s.done || s.headersDone ? std::string() : "no response";
  return s.errorText[0] ? s.errorText : curl_easy_strerror(s.result);
}

std::optional<UrlParts> CrackUrl(std::string_view url) {
  detail::Url parsed(detail::GlobalInit() ? curl_url() : nullptr);
  if (!parsed) return std::nullopt;
  const std::string text(url);
  if (curl_url_set(parsed.get(), CURLUPART_URL, text.c_str(), CURLU_ALLOW_SPACE | CURLU_PATH_AS_IS) != CURLUE_OK)
    return std::nullopt;
  auto part = [&](CURLUPart which, unsigned flags = 0) -> std::optional<std::string> {
    char* value = nullptr;
    if (curl_url_get(parsed.get(), which, &value, flags) != CURLUE_OK || !value) return std::nullopt;
    return std::string(detail::CurlText(value).get());
  };
  UrlParts parts;
  parts.scheme = part(CURLUPART_SCHEME).value_or("");
  if (parts.scheme != "http" && parts.scheme != "https") return std::nullopt;
  parts.host = part(CURLUPART_HOST).value_or("");
  if (parts.host.empty()) return std::nullopt;
  parts.port = std::atoi(part(CURLUPART_PORT, CURLU_DEFAULT_PORT).value_or("0").c_str());
  parts.path = part(CURLUPART_PATH).value_or("/");
  if (auto query = part(CURLUPART_QUERY)) parts.path += "?" + *query;
  parts.userName = part(CURLUPART_USER);
  parts.password = part(CURLUPART_PASSWORD);
  return parts;
}

}  // namespace pakeno::transport
