#include "transport/proxy_rules.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "base/ascii.h"
#include "transport/server_address.h"

namespace pakeno::transport {
namespace {

// A dotted-quad IPv4 address, as inet_pton reads one: four decimal parts of
// 0 to 255, no leading zeros, nothing else.
std::optional<uint32_t> Ipv4(std::string_view text) {
  uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (!text.starts_with('.')) return std::nullopt;
      text.remove_prefix(1);
    }
    size_t digits = 0;
    unsigned value = 0;
    while (digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9')
      value = value * 10 + static_cast<unsigned>(text[digits++] - '0');
    if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && text[0] == '0')) return std::nullopt;
    address = address << 8 | value;
    text.remove_prefix(digits);
  }
  if (!text.empty()) return std::nullopt;
  return address;
}

bool MatchesEntry(std::string_view host, std::string_view entry) {
  if (const size_t slash = entry.find('/'); slash != std::string_view::npos) {
    const std::optional<uint32_t> network = Ipv4(entry.substr(0, slash));
    const std::optional<uint32_t> address = Ipv4(host);
    const std::string bitsText(entry.substr(slash + 1));
    char* end = nullptr;
    const long bits = std::strtol(bitsText.c_str(), &end, 10);
    if (!network || !address || bitsText.empty() || *end != '\0' || bits < 0 || bits > 32) return false;
    const uint32_t mask = bits == 0 ? 0 : ~uint32_t{0} << (32 - bits);
    return (*network & mask) == (*address & mask);
  }
  if (entry.starts_with('.')) entry.remove_prefix(1);
  return !entry.empty() && DomainMatches(host, entry);
}

}  // namespace

ProxyList ParseProxyList(std::string_view rest) {
  ProxyList proxies;
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
    if (scheme.empty() || EqualsIgnoringCase(scheme, "http")) proxies.http = address;
    if (scheme.empty() || EqualsIgnoringCase(scheme, "https")) proxies.https = address;
  }
  return proxies;
}

bool ExemptFromProxy(std::string_view host, std::string_view noProxy) {
  if (host.starts_with('[') && host.ends_with(']')) host = host.substr(1, host.size() - 2);
  if (host.ends_with('.')) host.remove_suffix(1);
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!noProxy.empty() && blank(noProxy.front())) noProxy.remove_prefix(1);
  while (!noProxy.empty() && blank(noProxy.back())) noProxy.remove_suffix(1);
  if (noProxy == "*") return true;
  while (!noProxy.empty()) {
    const size_t end = noProxy.find_first_of(", \t");
    const std::string_view entry = noProxy.substr(0, end);
    noProxy.remove_prefix(end == std::string_view::npos ? noProxy.size() : end + 1);
    if (MatchesEntry(host, entry)) return true;
  }
  return false;
}

namespace {

// "%xx" as the byte it stands for; a "%" without two hex digits stays itself.
std::string PercentDecoded(std::string_view text) {
  const auto hex = [](char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
  };
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
      out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string First(const Environment& environment, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (std::string value = environment(name); !value.empty()) return value;
  }
  return std::string();
}

}  // namespace

std::string ProxyNamedByEnvironment(std::string_view scheme, const Environment& environment) {
  // HTTP_PROXY is not read: a CGI program gets it from a request's "Proxy:" header.
  std::string proxy =
      scheme == "https" ? First(environment, {"https_proxy", "HTTPS_PROXY"}) : First(environment, {"http_proxy"});
  if (proxy.empty()) proxy = First(environment, {"all_proxy", "ALL_PROXY"});
  return proxy;
}

std::string SystemProxyFor(std::string_view scheme, std::string_view host, const Environment& environment) {
  std::string proxy = ProxyNamedByEnvironment(scheme, environment);
  if (proxy.empty() || ExemptFromProxy(host, First(environment, {"no_proxy", "NO_PROXY"}))) return {};
  return proxy;
}

ProxyCredentials SplitProxyCredentials(std::string_view proxy) {
  const size_t schemeEnd = proxy.find("://") == std::string_view::npos ? 0 : proxy.find("://") + 3;
  const size_t authorityEnd = std::min(proxy.find_first_of("/?#", schemeEnd), proxy.size());
  // The last "@" ends the credentials: a password may hold one unescaped, a host never.
  const size_t at = proxy.substr(0, authorityEnd).rfind('@');
  if (at == std::string_view::npos || at < schemeEnd) return {std::string(proxy), {}, {}};
  const std::string_view userInfo = proxy.substr(schemeEnd, at - schemeEnd);
  const size_t colon = std::min(userInfo.find(':'), userInfo.size());
  return {std::string(proxy.substr(0, schemeEnd)) + std::string(proxy.substr(at + 1)),
          PercentDecoded(userInfo.substr(0, colon)),
          PercentDecoded(userInfo.substr(std::min(colon + 1, userInfo.size())))};
}

}  // namespace pakeno::transport
