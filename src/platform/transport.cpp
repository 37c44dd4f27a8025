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

Timeouts& DefaultTimeouts() {
  static Timeouts timeouts;
  return timeouts;
}

bool& RefuseSessions() {
  static bool refuse = false;
  return refuse;
}

constexpr int kMaxRedirects = 10;
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

// The CA bundle named by the common variables, else the library's default.
const char* CaBundleFromEnvironment() {
  for (const char* name : {"SSL_CERT_FILE", "CURL_CA_BUNDLE"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return nullptr;
}

bool IsRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
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
    // A list such as "http=host:port https=host:port", or one address for
    // every scheme; entries are separated by spaces or semicolons, and spaces
    // after "=" belong to the entry.
    std::string_view rest = proxyList;
    while (!rest.empty()) {
      while (!rest.empty() && (rest.front() == ' ' || rest.front() == ';')) rest.remove_prefix(1);
      if (rest.empty()) break;
      size_t eq = rest.find('=');
      size_t sep = rest.find_first_of(" ;");
      std::string_view scheme;
      if (eq != std::string_view::npos && eq < sep) {
        scheme = rest.substr(0, eq);
        rest.remove_prefix(eq + 1);
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        sep = rest.find_first_of(" ;");
      }
      const std::string address(rest.substr(0, sep));
      rest.remove_prefix(std::min(rest.size(), sep));
      if (address.empty()) continue;
      if (scheme.empty() || EqualsIgnoringCase(scheme, "http")) httpProxy_ = address;
      if (scheme.empty() || EqualsIgnoringCase(scheme, "https")) httpsProxy_ = address;
    }
    if (httpProxy_.empty() && httpsProxy_.empty()) return;  // a proxy session needs a proxy
  }
  open_ = true;
}

std::string Session::ProxyFor(std::string_view scheme) const {
  if (access_ != Access::kProxy) return {};
  return scheme == "https" ? httpsProxy_ : httpProxy_;
}

// ---------------------------------------------------------------------------
// Connection

Connection::Connection(const Session& session, std::string_view server, int port, std::optional<std::string> userName,
                       std::optional<std::string> password)
    : session_(session), server_(server), port_(port), userName_(std::move(userName)), password_(std::move(password)) {}

// ---------------------------------------------------------------------------
// Request

struct Request::State {
  const Connection& connection;
  std::string verb;
  std::string target;
  bool http10;

  detail::Easy easy;
  detail::Multi multi;
  bool attached = false;

  std::vector<std::string> headerLines;  // AddHeaders, then Send's
  detail::Slist headerList;
  std::string body;
  std::string url;  // the address of the current hop
  std::string proxy;

  // The response being received.
  std::string headerBlock;
  bool headersDone = false;  // the final response's header block is complete
  std::string location;      // the current response's Location header
  std::string redirectUrl;   // set when the current response is to be followed
  long redirectStatus = 0;
  int redirects = 0;
  bool done = false;
  CURLcode result = CURLE_OK;

  std::string pending;  // body bytes received, not yet read
  size_t pendingOffset = 0;
  bool paused = false;

  State(const Connection& c, std::string_view v, std::string_view t, std::string_view version)
      : connection(c), verb(v), target(t), http10(version == "HTTP/1.0") {}

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
      redirectUrl.clear();
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
    if (IsRedirect(status) && !location.empty() && !(redirectUrl = Resolve(location)).empty()) {
      redirectStatus = status;
    } else {
      headersDone = true;
    }
    return line.size();
  }

  size_t BodyPiece(std::string_view piece) {
    if (!redirectUrl.empty()) return 0;  // a redirect's body is not wanted: end that hop now
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

  // The absolute address of a Location value, relative to the current hop's.
  std::string Resolve(const std::string& reference) const {
    detail::Url resolved(curl_url());
    if (!resolved) return {};
    const std::string base = redirects == 0 ? url.substr(0, url.size() - 1) + target : url;
    constexpr unsigned kLenient = CURLU_ALLOW_SPACE | CURLU_PATH_AS_IS;
    if (curl_url_set(resolved.get(), CURLUPART_URL, base.c_str(), kLenient) != CURLUE_OK) return {};
    if (curl_url_set(resolved.get(), CURLUPART_URL, reference.c_str(), kLenient | CURLU_URLENCODE) != CURLUE_OK)
      return {};
    char* text = nullptr;
    if (curl_url_get(resolved.get(), CURLUPART_URL, &text, 0) != CURLUE_OK) return {};
    return detail::CurlText(text).get();
  }

  // Sets the options of one hop: `url` with the current verb, headers and body.
  bool Configure() {
    CURL* e = easy.get();
    const Session& session = connection.GetSession();
    const Timeouts& timeouts = session.GetTimeouts();
    const bool https = url.starts_with("https://");

    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
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
    if (const char* bundle = CaBundleFromEnvironment()) curl_easy_setopt(e, CURLOPT_CAINFO, bundle);

    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()));
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts.total.count()));
    // Less than one byte a second over the idle period: nothing is coming.
    const long idleSeconds = std::max<long>(1, static_cast<long>((timeouts.idle.count() + 999) / 1000));
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, idleSeconds);

    switch (session.GetAccess()) {
      case Access::kDirect:
        proxy.clear();
        curl_easy_setopt(e, CURLOPT_PROXY, "");
        break;
      case Access::kProxy:
        proxy = session.ProxyFor(https ? "https" : "http");
        curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str());
        break;
      case Access::kSystem:
        proxy.clear();
        curl_easy_setopt(e, CURLOPT_PROXY, nullptr);  // libcurl reads the environment
        break;
    }

    if (redirects == 0) {
      // The target goes out exactly as given; through a proxy in absolute form.
      std::string requestTarget = target;
      if (!proxy.empty() && !https) requestTarget = url.substr(0, url.size() - 1) + target;
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
    url = redirectUrl;
    redirectUrl.clear();
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
  // outcome, follow a redirect, or wait briefly for the socket.
  // `pumpWhileWaiting`: while nothing arrives, let the window's events run
  // every few milliseconds, so a slow body never freezes the window.
  void Step(bool pumpWhileWaiting = false) {
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
      if (!redirectUrl.empty()) {
        Detach();
        if (redirects >= kMaxRedirects) {  // a loop ends as a failure
          result = CURLE_TOO_MANY_REDIRECTS;
          redirectUrl.clear();
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
      curl_multi_poll(multi.get(), nullptr, 0, pumpWhileWaiting ? 20 : 100, &ready);
      if (pumpWhileWaiting && ready == 0) PumpEvents();
    }
  }
};

Request::Request(const Connection& connection, std::string_view verb, std::string_view target,
                 std::string_view version, unsigned flags) {
  if (!connection.IsOpen()) return;
  auto state = std::make_unique<State>(connection, verb.empty() ? "GET" : verb, target, version);
  state->easy.reset(curl_easy_init());
  state->multi.reset(curl_multi_init());
  if (!state->easy || !state->multi) return;
  const bool secure = (flags & kSecure) != 0;
  const int port = connection.Port() == 0 ? (secure ? 443 : 80) : connection.Port();
  state->url = std::string(secure ? "https://" : "http://") + connection.Server();
  if (port != (secure ? 443 : 80)) state->url += ":" + std::to_string(port);
  state->url += "/";
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
  for (std::string& line : SplitLines(headers)) state_->headerLines.push_back(std::move(line));
  state_->body.assign(body);
  if (!state_->Start()) return false;
  while (!state_->headersDone && !(state_->done && state_->redirectUrl.empty())) state_->Step();
  return state_->headersDone;
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
    s.Step(true);
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
