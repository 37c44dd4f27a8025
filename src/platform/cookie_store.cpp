#include <curl/curl.h>

#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ascii.h"
#include "platform/curl_handles.h"
#include "platform/transport.h"

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

bool GlobalInit() {
  static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ok;
}

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

bool Storable(std::string_view s) { return s.find_first_of("\t\r\n", 0) == std::string_view::npos && s.find('\0') == std::string_view::npos; }

}  // namespace

bool SetCookie(std::string_view url, std::string_view name, std::string_view data) {
  const std::string host = HostOf(url);
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
      std::string_view d = val.front() == '.' ? val.substr(1) : val;
      const bool tailMatches = EqualsIgnoringCase(d, host) ||
                               (host.size() > d.size() && host[host.size() - d.size() - 1] == '.' &&
                                EqualsIgnoringCase(std::string_view(host).substr(host.size() - d.size()), d));
      if (tailMatches && !d.empty()) {
        domain = "." + std::string(d);
        includeSubdomains = true;
      }
    } else if (EqualsIgnoringCase(key, "expires") && !val.empty()) {
      const std::string when(val);
      const time_t t = curl_getdate(when.c_str(), nullptr);
      if (t > 0) expires = t;
    } else if (EqualsIgnoringCase(key, "max-age") && !val.empty()) {
      const long long seconds = std::atoll(std::string(val).c_str());
      expires = seconds <= 0 ? 1 : static_cast<curl_off_t>(std::time(nullptr)) + seconds;
    } else if (EqualsIgnoringCase(key, "secure")) {
      secure = true;
    }
  }

  std::string line = domain + '\t' + (includeSubdomains ? "TRUE" : "FALSE") + '\t' + path + '\t' +
                     (secure ? "TRUE" : "FALSE") + '\t' + std::to_string(expires) + '\t' + std::string(Trim(name)) +
                     '\t' + std::string(Trim(value));

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
