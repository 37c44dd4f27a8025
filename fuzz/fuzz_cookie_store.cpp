// The cookie store fed Set-Cookie lines from several origins: each line's
// first byte picks the origin and moves the clock; the rest is the value.
// No stored cookie may go where its origin could not send it.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"

#include "cookies/cookie_store.h"
#include "transport/server_address.h"

namespace {

using pakeno::transport::CookieOrigin;

const CookieOrigin kOrigins[] = {
    {false, "a.test", "/"}, {true, "a.test", "/shop/cart"},   {false, "www.a.test", "/x/y"}, {true, "www.a.test", "/"},
    {false, "b.test", "/"}, {true, "sub.example.co.uk", "/"}, {false, "127.0.0.1", "/p/q"},  {true, "127.0.0.1", "/"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  using namespace pakeno::transport;
  CookieJar jar;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  int64_t now = 1'800'000'000;
  std::set<std::string> fromHttps;  // names set by an https origin
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.empty()) continue;
    const auto pick = static_cast<unsigned char>(line[0]);
    const CookieOrigin& from = kOrigins[pick % std::size(kOrigins)];
    now += pick / 16 * 1000;
    line.remove_prefix(1);
    if (jar.Store(from, line, now) && from.secure) {
      const std::string_view pair = line.substr(0, line.find(';'));
      std::string_view name = pair.substr(0, pair.find('='));
      while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
      while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
      fromHttps.emplace(name);
    }
  }
  // Every stored cookie: its domain one an origin may claim, a Secure one
  // from https, the prefixes' promises kept.
  struct Stored {
    std::string domain, path, name, value;
    bool hostOnly, secure;
  };
  std::vector<Stored> stored;
  const std::string all = jar.NetscapeLines();
  std::string_view lines = all;
  while (!lines.empty()) {
    const std::string_view line = lines.substr(0, lines.find('\n'));
    lines.remove_prefix(std::min(lines.size(), line.size() + 1));
    std::string_view fields[7];
    std::string_view rest2 = line;
    for (auto& field : fields) {
      field = rest2.substr(0, rest2.find('\t'));
      rest2.remove_prefix(std::min(rest2.size(), field.size() + 1));
    }
    const bool hostOnly = !fields[0].starts_with('.');
    Stored c{std::string(hostOnly ? fields[0] : fields[0].substr(1)),
             std::string(fields[2]),
             std::string(fields[5]),
             std::string(fields[6]),
             hostOnly,
             fields[3] == "TRUE"};
    bool claimable = false;
    for (const CookieOrigin& origin : kOrigins) claimable = claimable || DomainMatches(origin.host, c.domain);
    Check(claimable);
    if (c.secure) Check(fromHttps.count(c.name) == 1);
    std::string lower = c.name;
    for (char& ch : lower) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch + 32 : ch);
    if (lower.starts_with("__secure-")) Check(c.secure);
    if (lower.starts_with("__host-")) Check(c.secure && c.hostOnly && c.path == "/");
    stored.push_back(std::move(c));
  }
  // Every pair a request carries is a stored cookie that may go there: to
  // its host (or below its domain), under its path, Secure only over https.
  for (const CookieOrigin& to : kOrigins) {
    const std::string line = jar.CookieLineFor(to, now);
    std::string_view cookies = line;
    while (!cookies.empty()) {
      const std::string_view pair = cookies.substr(0, cookies.find("; "));
      cookies.remove_prefix(std::min(cookies.size(), pair.size() + 2));
      const size_t eq = pair.find('=');
      bool allowed = false;
      for (const Stored& c : stored) {
        if (c.name != pair.substr(0, eq) || c.value != pair.substr(eq + 1)) continue;
        const bool host = c.hostOnly ? c.domain == to.host : DomainMatches(to.host, c.domain);
        const bool path = to.path.starts_with(c.path);
        allowed = allowed || (host && path && (!c.secure || to.secure));
      }
      Check(allowed);
    }
  }
  return 0;
}
