#pragma once

// The process-wide cookie store: in memory only, for the run, shared by every
// request of every session. The transport feeds it every response's
// Set-Cookie lines, under the host and path that actually answered, and takes
// from it the Cookie line of every request it sends. Its rules are a
// browser's (RFC 6265, with the Secure rules of its successor draft), so that
// no site can set or replace a cookie for another.

#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pakeno::transport {

// Where a response came from, or where a request goes.
struct CookieOrigin {
  bool secure = false;     // https
  std::string host;        // lower case, no port
  std::string path = "/";  // the request's path, without query or fragment
};

class CookieJar {
 public:
  // A browser's limits: a site (the part of a name below its public suffix)
  // holds at most kMaxPerSite cookies, the store kMaxCookies; the least
  // recently used go first. A longer name and value than kMaxNameAndValue
  // bytes is refused.
  static constexpr size_t kMaxPerSite = 180;
  static constexpr size_t kMaxCookies = 3000;
  static constexpr size_t kMaxNameAndValue = 4096;

  // Stores the cookie of one Set-Cookie value ("name=value; Path=/; ...")
  // sent by `from`; `now` in seconds since 1970. False when it is refused: no
  // name, a control byte, too long; a Domain the host is not in, a public
  // suffix, or any Domain while the public suffix list is missing; a Secure
  // cookie from plain http, or one from plain http that would replace a
  // Secure one; a __Secure- cookie that is not Secure and from https, a
  // __Host- one that is not that and Path=/ without Domain besides (any
  // letter case). An expiry in the past deletes the stored cookie instead.
  bool Store(const CookieOrigin& from, std::string_view setCookie, int64_t now);

  // The value of the Cookie line for a request to `to` ("a=1; b=2"), longest
  // paths first; empty when no cookie applies.
  std::string CookieLineFor(const CookieOrigin& to, int64_t now);

  void Clear();
  size_t Count() const;
  // One line per cookie, in the Netscape format libcurl reads.
  std::string NetscapeLines() const;

 private:
  struct Cookie {
    std::string name, value, domain, path;
    std::string site;  // the bucket it lives in
    bool hostOnly = true, secure = false, persistent = false;
    int64_t expiry = 0;
    uint64_t created = 0, lastUsed = 0;
  };
  using Entry = std::list<Cookie>::iterator;

  void Erase(std::vector<Entry>& site, size_t index);
  bool ReplacesASecureCookie(const std::vector<Entry>& site, const Cookie& cookie) const;

  mutable std::mutex mutex_;
  std::list<Cookie> cookies_;  // the most recently used first
  std::unordered_map<std::string, std::vector<Entry>> bySite_;
  uint64_t clock_ = 0;
};

// The process's store.
CookieJar& ProcessCookies();

// Stores one cookie as if a response from `url` ("http://host/path") had
// set it: `name`, and `data`, the value with its attributes ("b; path=/").
bool SetCookie(std::string_view url, std::string_view name, std::string_view data);

std::string ListCookiesForTesting();
void ClearCookiesForTesting();

}  // namespace pakeno::transport
