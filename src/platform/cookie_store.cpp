#include "platform/cookie_store.h"

#include <curl/curl.h>
#include <libpsl.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "platform/curl_handles.h"
#include "platform/server_address.h"

namespace pakeno::transport {
namespace detail {
namespace {

std::mutex& ShareMutex() {
  static std::mutex mutex;
  return mutex;
}

void LockShare(CURL*, curl_lock_data, curl_lock_access, void*) { ShareMutex().lock(); }
void UnlockShare(CURL*, curl_lock_data, void*) { ShareMutex().unlock(); }

struct ShareCleanup {
  void operator()(CURLSH* share) const { curl_share_cleanup(share); }
};

}  // namespace

CURLSH* CookieShare() {
  static const std::unique_ptr<CURLSH, ShareCleanup> share = [] {
    std::unique_ptr<CURLSH, ShareCleanup> made(GlobalInit() ? curl_share_init() : nullptr);
    if (made) {
      curl_share_setopt(made.get(), CURLSHOPT_LOCKFUNC, LockShare);
      curl_share_setopt(made.get(), CURLSHOPT_UNLOCKFUNC, UnlockShare);
      curl_share_setopt(made.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }
    return made;
  }();
  return share.get();
}

void UseCookieStore(CURL* easy) {
  if (CURLSH* share = CookieShare()) curl_easy_setopt(easy, CURLOPT_SHARE, share);
  curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");  // the engine on, nothing read from disk
}

}  // namespace detail

namespace {

struct PslFree {
  void operator()(psl_ctx_t* psl) const { psl_free(psl); }
};

// The public suffix list libcurl itself uses: the system's newest copy.
const psl_ctx_t* PublicSuffixes() {
  static const std::unique_ptr<psl_ctx_t, PslFree> psl(psl_latest(nullptr));
  return psl.get();
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The host of an address such as "http://srv" or "https://srv:81/x".
std::string HostOf(std::string_view url) {
  if (const size_t scheme = url.find("://"); scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
  url = url.substr(0, url.find_first_of("/?#"));
  url = url.substr(url.find('@') + 1);  // npos + 1 == 0: no user part
  return std::string(url.substr(0, url.find(':')));
}

bool Storable(std::string_view s) {
  return s.find_first_of("\t\r\n", 0) == std::string_view::npos && s.find('\0') == std::string_view::npos;
}

bool PathMatches(std::string_view requestPath, std::string_view cookiePath) {
  if (!requestPath.starts_with(cookiePath)) return false;
  return requestPath.size() == cookiePath.size() || cookiePath.ends_with('/') || requestPath[cookiePath.size()] == '/';
}

// Seconds from now as an expiry time, saturating where the clock ends.
curl_off_t ExpiryAfter(std::string_view secondsText) {
  const std::string text(secondsText);
  errno = 0;
  char* end = nullptr;
  long long seconds = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str()) return 0;  // no number: a session cookie
  if (seconds <= 0) return 1;         // expired at once
  const auto now = static_cast<long long>(std::time(nullptr));
  constexpr long long kLatest = std::numeric_limits<curl_off_t>::max();
  return static_cast<curl_off_t>(seconds > kLatest - now ? kLatest : now + seconds);
}

struct StoredCookie {
  std::string domain, path, name;
  bool secure = false;
};

std::vector<StoredCookie> StoredCookies() {
  std::vector<StoredCookie> cookies;
  detail::Easy easy(detail::GlobalInit() ? curl_easy_init() : nullptr);
  if (!easy) return cookies;
  detail::UseCookieStore(easy.get());
  curl_slist* raw = nullptr;
  curl_easy_getinfo(easy.get(), CURLINFO_COOKIELIST, &raw);
  detail::Slist list(raw);
  for (curl_slist* item = list.get(); item; item = item->next) {
    std::vector<std::string_view> fields;
    std::string_view line = item->data;
    for (size_t tab; (tab = line.find('\t')) != std::string_view::npos; line.remove_prefix(tab + 1))
      fields.push_back(line.substr(0, tab));
    fields.push_back(line);
    if (fields.size() < 7) continue;
    std::string_view domain = fields[0];
    if (domain.starts_with("#HttpOnly_")) domain.remove_prefix(10);
    if (domain.starts_with('.')) domain.remove_prefix(1);
    cookies.push_back({std::string(domain), std::string(fields[2]), std::string(fields[5]), fields[3] == "TRUE"});
  }
  return cookies;
}

}  // namespace

bool SetCookie(std::string_view url, std::string_view name, std::string_view data) {
  const std::string host = HostOf(url);
  const bool secureOrigin = StartsWithIgnoringCase(url, "https://");
  // A nameless cookie has no form in the store's format; like a browser, drop it.
  if (host.empty() || Trim(name).empty() || !Storable(name) || !Storable(data) || !Storable(host)) return false;

  std::string_view value = data.substr(0, data.find(';'));
  std::string path = "/";
  std::string domain = host;
  bool includeSubdomains = false;
  bool secure = false;
  curl_off_t expires = 0;  // a session cookie

  std::string_view attributes = data.size() > value.size() ? data.substr(value.size() + 1) : std::string_view{};
  while (!attributes.empty()) {
    const std::string_view attribute = attributes.substr(0, attributes.find(';'));
    attributes.remove_prefix(std::min(attributes.size(), attribute.size() + 1));
    const size_t eq = attribute.find('=');
    const std::string_view key = Trim(attribute.substr(0, eq));
    const std::string_view val = eq == std::string_view::npos ? std::string_view{} : Trim(attribute.substr(eq + 1));
    if (EqualsIgnoringCase(key, "path") && !val.empty() && val.front() == '/') {
      path = val;
    } else if (EqualsIgnoringCase(key, "domain") && !val.empty()) {
      const std::string d(val.front() == '.' ? val.substr(1) : val);
      // A domain the host is not in, or one every site shares (co.uk): refused.
      if (d.empty() || !DomainMatches(host, d)) return false;
      const psl_ctx_t* psl = PublicSuffixes();
      if (psl && !psl_is_cookie_domain_acceptable(psl, host.c_str(), d.c_str())) return false;
      domain = "." + d;
      includeSubdomains = true;
    } else if (EqualsIgnoringCase(key, "expires") && !val.empty()) {
      const std::string when(val);
      const time_t t = curl_getdate(when.c_str(), nullptr);
      if (t > 0) expires = t;
    } else if (EqualsIgnoringCase(key, "max-age") && !val.empty()) {
      expires = ExpiryAfter(val);
    } else if (EqualsIgnoringCase(key, "secure")) {
      secure = true;
    }
  }

  if (!secureOrigin) {
    if (secure) return false;  // only an https response may set a Secure cookie
    // Nor may plain http replace one that https set: that would plant a session.
    const std::string_view bareDomain =
        includeSubdomains ? std::string_view(domain).substr(1) : std::string_view(domain);
    for (const StoredCookie& stored : StoredCookies()) {
      if (stored.secure && stored.name == Trim(name) &&
          (DomainMatches(stored.domain, bareDomain) || DomainMatches(bareDomain, stored.domain)) &&
          PathMatches(path, stored.path))
        return false;
    }
  }

  const std::string line = domain + '\t' + (includeSubdomains ? "TRUE" : "FALSE") + '\t' + path + '\t' +
                           (secure ? "TRUE" : "FALSE") + '\t' + std::to_string(expires) + '\t' +
                           std::string(Trim(name)) + '\t' + std::string(Trim(value));

  detail::Easy easy(detail::GlobalInit() ? curl_easy_init() : nullptr);
  if (!easy) return false;
  detail::UseCookieStore(easy.get());
  return curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, line.c_str()) == CURLE_OK;
}

std::string ListCookiesForTesting() {
  detail::Easy easy(detail::GlobalInit() ? curl_easy_init() : nullptr);
  if (!easy) return {};
  detail::UseCookieStore(easy.get());
  curl_slist* raw = nullptr;
  curl_easy_getinfo(easy.get(), CURLINFO_COOKIELIST, &raw);
  detail::Slist list(raw);
  std::string out;
  for (curl_slist* item = list.get(); item; item = item->next) out.append(item->data).append("\n");
  return out;
}

void ClearCookiesForTesting() {
  detail::Easy easy(detail::GlobalInit() ? curl_easy_init() : nullptr);
  if (!easy) return;
  detail::UseCookieStore(easy.get());
  curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, "ALL");
}

}  // namespace pakeno::transport
