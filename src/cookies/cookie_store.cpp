#include "cookies/cookie_store.h"

#include <algorithm>
#include <ctime>
#include <limits>
#include <optional>

#include "base/ascii.h"
#include "cookies/cookie_date.h"
#include "cookies/host_names.h"
#include "cookies/public_suffix.h"

namespace pakeno::transport {
namespace {

constexpr int64_t kEarliest = std::numeric_limits<int64_t>::min();
constexpr int64_t kLatest = std::numeric_limits<int64_t>::max();

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string lower(s);
  for (char& c : lower) c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
  return lower;
}

// A control byte in a cookie would end the Cookie line it goes back in.
bool HoldsControlBytes(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// The path a cookie without one of its own is for: the request's directory.
std::string DefaultPath(std::string_view requestPath) {
  if (!requestPath.starts_with('/')) return "/";
  const size_t last = requestPath.rfind('/');
  return last == 0 ? "/" : std::string(requestPath.substr(0, last));
}

bool PathMatches(std::string_view requestPath, std::string_view cookiePath) {
  if (!requestPath.starts_with(cookiePath)) return false;
  return requestPath.size() == cookiePath.size() || cookiePath.ends_with('/') || requestPath[cookiePath.size()] == '/';
}

// Max-Age: digits, perhaps after a "-"; anything else leaves the attribute unread.
std::optional<int64_t> ExpiryAfter(std::string_view seconds, int64_t now) {
  const bool negative = seconds.starts_with('-');
  if (negative) seconds.remove_prefix(1);
  if (seconds.empty() || !std::all_of(seconds.begin(), seconds.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  if (negative || seconds.find_first_not_of('0') == std::string_view::npos) return kEarliest;
  int64_t delta = 0;
  for (const char c : seconds) {
    if (delta > (kLatest - 9) / 10) return kLatest;  // beyond the clock: saturate
    delta = delta * 10 + (c - '0');
  }
  return delta > kLatest - now ? kLatest : now + delta;
}

// The bucket a host's cookies live in: its site, the name just below its
// public suffix, so that a cookie for a parent domain is found beside the
// host's own; the host itself when the list cannot say.
std::string SiteOf(const std::string& host) {
  if (IsIpAddress(host)) return host;
  size_t start = 0;
  // The shortest suffix that may carry cookies of its own is the site.
  for (size_t dot = host.rfind('.'); dot != std::string::npos && dot > 0; dot = host.rfind('.', dot - 1)) {
    if (PublicSuffixAllowsCookieDomain(host, host.substr(dot + 1)).value_or(false)) {
      start = dot + 1;
      break;
    }
  }
  return host.substr(start);
}

}  // namespace

bool CookieJar::Store(const CookieOrigin& from, std::string_view setCookie, int64_t now) {
  if (from.host.empty() || HoldsControlBytes(setCookie)) return false;
  const std::string_view pair = setCookie.substr(0, setCookie.find(';'));
  const size_t eq = pair.find('=');
  if (eq == std::string_view::npos) return false;  // a nameless cookie has no place in a Cookie line
  Cookie cookie;
  cookie.name = Trim(pair.substr(0, eq));
  cookie.value = Trim(pair.substr(eq + 1));
  if (cookie.name.empty() || cookie.name.size() + cookie.value.size() > kMaxNameAndValue) return false;

  std::string domainAttribute;
  bool namesDomain = false;
  std::optional<std::string> pathAttribute;
  std::optional<int64_t> expires, maxAge;
  std::string_view attributes = setCookie.substr(std::min(setCookie.size(), pair.size() + 1));
  while (!attributes.empty()) {
    const std::string_view attribute = attributes.substr(0, attributes.find(';'));
    attributes.remove_prefix(std::min(attributes.size(), attribute.size() + 1));
    const size_t split = attribute.find('=');
    const std::string_view key = Trim(attribute.substr(0, split));
    const std::string_view val =
        split == std::string_view::npos ? std::string_view{} : Trim(attribute.substr(split + 1));
    if (EqualsIgnoringCase(key, "expires")) {
      if (const auto when = ParseCookieDate(val)) expires = when;
    } else if (EqualsIgnoringCase(key, "max-age")) {
      if (const auto when = ExpiryAfter(val, now)) maxAge = when;
    } else if (EqualsIgnoringCase(key, "domain")) {
      namesDomain = true;
      if (!val.empty()) domainAttribute = Lower(val.starts_with('.') ? val.substr(1) : val);
    } else if (EqualsIgnoringCase(key, "path")) {
      pathAttribute = val.starts_with('/') ? std::optional<std::string>(val) : std::nullopt;
    } else if (EqualsIgnoringCase(key, "secure")) {
      cookie.secure = true;
    }
  }
  if (maxAge || expires) {
    cookie.persistent = true;
    cookie.expiry = maxAge ? *maxAge : *expires;  // Max-Age wins, wherever it stands
  }
  cookie.path = pathAttribute ? *pathAttribute : DefaultPath(from.path);

  cookie.domain = from.host;
  if (!domainAttribute.empty() && domainAttribute != from.host) {
    // A Domain is a claim on other hosts: only for a domain of the host's own,
    // never an address, never one every site shares; and not at all while
    // the list that tells those apart is missing.
    if (IsIpAddress(from.host) || !DomainMatches(from.host, domainAttribute)) return false;
    if (!PublicSuffixAllowsCookieDomain(from.host, domainAttribute).value_or(false)) return false;
    cookie.domain = domainAttribute;
    cookie.hostOnly = false;
  }
  if (cookie.secure && !from.secure) return false;  // only an https response may set a Secure cookie
  // The name prefixes promise the reader where the cookie came from: a
  // __Secure- cookie from https with Secure; a __Host- one besides for this
  // host alone (no Domain) and the whole site (Path=/).
  const bool securePrefix = StartsWithIgnoringCase(cookie.name, "__Secure-");
  const bool hostPrefix = StartsWithIgnoringCase(cookie.name, "__Host-");
  if ((securePrefix || hostPrefix) && !(from.secure && cookie.secure)) return false;
  if (hostPrefix && (namesDomain || pathAttribute != "/")) return false;

  const std::lock_guard lock(mutex_);
  cookie.site = SiteOf(cookie.domain);
  const std::string siteName = cookie.site;
  std::vector<Entry>& site = bySite_[siteName];
  // Nor may plain http replace one that https set: that would plant a session.
  if (!from.secure && ReplacesASecureCookie(site, cookie)) return false;

  cookie.created = cookie.lastUsed = ++clock_;
  for (size_t i = 0; i < site.size(); ++i) {
    const Cookie& stored = *site[i];
    if (stored.name == cookie.name && stored.domain == cookie.domain && stored.path == cookie.path) {
      cookie.created = stored.created;
      Erase(site, i);
      break;
    }
  }
  if (cookie.persistent && cookie.expiry <= now) return true;  // a deletion: nothing to keep

  cookies_.push_front(std::move(cookie));
  site.push_back(cookies_.begin());
  if (site.size() > kMaxPerSite) {
    const auto oldest =
        std::min_element(site.begin(), site.end(), [](Entry a, Entry b) { return a->lastUsed < b->lastUsed; });
    Erase(site, static_cast<size_t>(oldest - site.begin()));
  }
  while (cookies_.size() > kMaxCookies) {
    const auto owner = bySite_.find(cookies_.back().site);
    const Entry last = std::prev(cookies_.end());
    const auto it = std::find(owner->second.begin(), owner->second.end(), last);
    Erase(owner->second, static_cast<size_t>(it - owner->second.begin()));
    if (owner->second.empty() && owner->first != siteName) bySite_.erase(owner);
  }
  return true;
}

bool CookieJar::ReplacesASecureCookie(const std::vector<Entry>& site, const Cookie& cookie) const {
  return std::any_of(site.begin(), site.end(), [&](Entry stored) {
    return stored->secure && stored->name == cookie.name &&
           (DomainMatches(stored->domain, cookie.domain) || DomainMatches(cookie.domain, stored->domain)) &&
           PathMatches(cookie.path, stored->path);
  });
}

void CookieJar::Erase(std::vector<Entry>& site, size_t index) {
  cookies_.erase(site[index]);
  site[index] = site.back();
  site.pop_back();
}

std::string CookieJar::CookieLineFor(const CookieOrigin& to, int64_t now) {
  const std::lock_guard lock(mutex_);
  const auto found = bySite_.find(SiteOf(to.host));
  if (found == bySite_.end()) return {};
  std::vector<Entry>& site = found->second;
  std::vector<Entry> matching;
  for (size_t i = 0; i < site.size();) {
    const Cookie& c = *site[i];
    if (c.persistent && c.expiry <= now) {
      Erase(site, i);
      continue;
    }
    if ((c.hostOnly ? c.domain == to.host : DomainMatches(to.host, c.domain)) && PathMatches(to.path, c.path) &&
        (!c.secure || to.secure))
      matching.push_back(site[i]);
    ++i;
  }
  std::sort(matching.begin(), matching.end(), [](Entry a, Entry b) {
    return a->path.size() != b->path.size() ? a->path.size() > b->path.size() : a->created < b->created;
  });
  std::string line;
  for (const Entry& e : matching) {
    if (!line.empty()) line += "; ";
    line.append(e->name).append("=").append(e->value);
    e->lastUsed = ++clock_;
    cookies_.splice(cookies_.begin(), cookies_, e);
  }
  return line;
}

void CookieJar::Clear() {
  const std::lock_guard lock(mutex_);
  cookies_.clear();
  bySite_.clear();
}

size_t CookieJar::Count() const {
  const std::lock_guard lock(mutex_);
  return cookies_.size();
}

std::string CookieJar::NetscapeLines() const {
  const std::lock_guard lock(mutex_);
  std::string out;
  for (const Cookie& c : cookies_) {
    out.append(c.hostOnly ? "" : ".").append(c.domain).append(c.hostOnly ? "\tFALSE\t" : "\tTRUE\t");
    out.append(c.path).append(c.secure ? "\tTRUE\t" : "\tFALSE\t");
    out.append(std::to_string(c.persistent ? c.expiry : 0)).append("\t");
    out.append(c.name).append("\t").append(c.value).append("\n");
  }
  return out;
}

CookieJar& ProcessCookies() {
  static CookieJar jar;
  return jar;
}

bool SetCookie(std::string_view url, std::string_view name, std::string_view data) {
  CookieOrigin from;
  from.secure = StartsWithIgnoringCase(url, "https://");
  if (const size_t scheme = url.find("://"); scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
  const size_t pathStart = url.find_first_of("/?#");
  std::string_view authority = url.substr(0, pathStart);
  authority = authority.substr(authority.find('@') + 1);  // npos + 1 == 0: no user part
  from.host = Lower(authority.substr(0, authority.find(':')));
  if (pathStart != std::string_view::npos && url[pathStart] == '/')
    from.path = url.substr(pathStart, url.find_first_of("?#", pathStart) - pathStart);
  if (name.empty()) return false;
  return ProcessCookies().Store(from, std::string(name) + "=" + std::string(data), std::time(nullptr));
}

std::string ListCookiesForTesting() { return ProcessCookies().NetscapeLines(); }
void ClearCookiesForTesting() { ProcessCookies().Clear(); }

}  // namespace pakeno::transport
