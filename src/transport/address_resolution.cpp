// Addresses read and resolved by the tool itself, the same on every system:
// RFC 3986's parts and reference resolution, with no buffer of a fixed size
// and no escaping but of what a request line cannot carry. GBK bytes stay as
// they are, as legacy servers expect them.

#include <cstring>

#include "base/ascii.h"
#include "transport/redirects.h"
#include "transport/server_address.h"

namespace pakeno::transport {
namespace {

// An address's parts as RFC 3986 names them; an absent part is nullopt.
struct Reference {
  std::optional<std::string> scheme, authority, query, fragment;
  std::string path;
};

bool SchemeCharacter(char c, bool first) {
  const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  return letter || (!first && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
}

Reference Split(std::string_view text) {
  Reference r;
  const size_t colon = text.find_first_of(":/?#");
  if (colon != std::string_view::npos && colon > 0 && text[colon] == ':') {
    bool valid = true;
    for (size_t i = 0; i < colon; ++i) valid = valid && SchemeCharacter(text[i], i == 0);
    if (valid) {
      std::string scheme(text.substr(0, colon));
      for (char& c : scheme) c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
      r.scheme = std::move(scheme);
      text.remove_prefix(colon + 1);
    }
  }
  if (text.starts_with("//")) {
    text.remove_prefix(2);
    const size_t end = std::min(text.find_first_of("/?#"), text.size());
    r.authority = std::string(text.substr(0, end));
    text.remove_prefix(end);
  }
  const size_t pathEnd = std::min(text.find_first_of("?#"), text.size());
  r.path = text.substr(0, pathEnd);
  text.remove_prefix(pathEnd);
  if (text.starts_with('?')) {
    const size_t end = std::min(text.find('#'), text.size());
    r.query = std::string(text.substr(1, end - 1));
    text.remove_prefix(end);
  }
  if (text.starts_with('#')) r.fragment = std::string(text.substr(1));
  return r;
}

// RFC 3986, 5.2.4: "." and ".." segments go, as a browser resolves them.
std::string RemoveDotSegments(std::string_view in) {
  std::string out;
  while (!in.empty()) {
    if (in.starts_with("../")) {
      in.remove_prefix(3);
    } else if (in.starts_with("./")) {
      in.remove_prefix(2);
    } else if (in.starts_with("/./")) {
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.starts_with("/../") || in == "/..") {
      in = in.size() == 3 ? std::string_view("/") : in.substr(3);
      const size_t last = out.rfind('/');
      out.erase(last == std::string::npos ? 0 : last);
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      const size_t next = in.find('/', in.starts_with('/') ? 1 : 0);
      const size_t end = next == std::string_view::npos ? in.size() : next;
      out.append(in.substr(0, end));
      in.remove_prefix(end);
    }
  }
  return out;
}

std::string Recompose(const Reference& r) {
  std::string text;
  if (r.scheme) text += *r.scheme + ":";
  if (r.authority) text += "//" + *r.authority;
  text += r.authority && r.path.empty() ? std::string("/") : r.path;
  if (r.query) text += "?" + *r.query;
  if (r.fragment) text += "#" + *r.fragment;
  return text;
}

// A blank or a control byte cannot stand in a request line: escaped, as a
// browser does with a Location that holds one.
std::string EscapeBlanks(std::string_view text) {
  return PercentEscaped(text, [](unsigned char c) { return c <= 0x20 || c == 0x7F; });
}

struct Authority {
  std::optional<std::string> userName, password;
  std::string host;  // as written; an IPv6 address keeps its brackets
  std::optional<int> port;
};

// The authority's parts; nothing when it names no host a connection can be made to.
std::optional<Authority> ReadAuthority(std::string_view authority) {
  Authority a;
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
    const std::string_view user = authority.substr(0, at);
    const size_t colon = user.find(':');
    a.userName = std::string(user.substr(0, colon));
    if (colon != std::string_view::npos) a.password = std::string(user.substr(colon + 1));
    authority.remove_prefix(at + 1);
  }
  size_t hostEnd = authority.find(':');
  if (authority.starts_with('[')) {
    const size_t close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    hostEnd = close + 1;
    if (hostEnd < authority.size() && authority[hostEnd] != ':') return std::nullopt;
  }
  a.host = authority.substr(0, std::min(hostEnd, authority.size()));
  if (a.host.empty() || a.host.find_first_of(std::string_view("\"<>\\^`{|}%", 10)) != std::string::npos)
    return std::nullopt;
  for (const unsigned char c : a.host) {
    if (c <= 0x20 || c == 0x7F) return std::nullopt;
  }
  if (hostEnd < authority.size()) {
    const std::string_view digits = authority.substr(hostEnd + 1);
    if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    if (!digits.empty()) {
      int port = 0;
      for (const char c : digits) port = port * 10 + (c - '0');
      if (port == 0 || port > 0xFFFF) return std::nullopt;  // no server listens on port 0
      a.port = port;
    }
  }
  return a;
}

}  // namespace

std::string ResolveLocation(std::string_view base, std::string_view location) {
  const std::string escapedBase = EscapeBlanks(base);
  const Reference b = Split(escapedBase);
  if (!b.scheme || !b.authority || !ReadAuthority(*b.authority)) return {};
  const std::string escaped = EscapeBlanks(location);
  const Reference r = Split(escaped);
  // RFC 3986, 5.2.2.
  Reference t;
  if (r.scheme) {
    t = r;
    t.path = RemoveDotSegments(r.path);
  } else {
    t.scheme = b.scheme;
    if (r.authority) {
      t.authority = r.authority;
      t.path = RemoveDotSegments(r.path);
      t.query = r.query;
    } else {
      t.authority = b.authority;
      if (r.path.empty()) {
        t.path = RemoveDotSegments(b.path);
        t.query = r.query ? r.query : b.query;
      } else {
        const std::string merged = r.path.starts_with('/') ? r.path
                                   : b.path.empty()        ? "/" + r.path
                                                           : b.path.substr(0, b.path.rfind('/') + 1) + r.path;
        t.path = RemoveDotSegments(merged);
        t.query = r.query;
      }
    }
  }
  t.fragment = r.fragment;
  // Only an address with a server is one a request can go to.
  if (!t.authority || !ReadAuthority(*t.authority)) return {};
  return Recompose(t);
}

std::string HostOfAddress(std::string_view address) {
  const Reference r = Split(address);
  if (!r.scheme || !r.authority) return {};
  const std::optional<Authority> a = ReadAuthority(*r.authority);
  if (!a) return {};
  std::string lower = a->host;
  for (char& c : lower) c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
  return lower;
}

CookieOrigin CookieOriginOf(std::string_view address) {
  CookieOrigin origin;
  const Reference r = Split(address);
  origin.secure = r.scheme == "https";
  origin.host = HostOfAddress(address);
  // Written as the first hop's path is, so a cookie's path matches on every hop alike.
  if (!origin.host.empty()) origin.path = CookiePathOf(r.path);
  return origin;
}

std::optional<UrlParts> CrackUrl(std::string_view url) {
  const Reference r = Split(url);
  if (!r.authority || (r.scheme != "http" && r.scheme != "https")) return std::nullopt;
  std::optional<Authority> a = ReadAuthority(*r.authority);
  if (!a) return std::nullopt;
  UrlParts parts;
  parts.scheme = *r.scheme;
  parts.host = std::move(a->host);
  parts.port = a->port.value_or(parts.scheme == "https" ? 443 : 80);
  parts.path = r.path.empty() ? std::string("/") : r.path;
  if (r.query) parts.path += "?" + *r.query;
  parts.userName = std::move(a->userName);
  parts.password = std::move(a->password);
  return parts;
}

}  // namespace pakeno::transport
