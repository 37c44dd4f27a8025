#include "platform/server_address.h"

#include <cstdlib>
#include <cstring>

#include "base/ascii.h"
#include "platform/curl_handles.h"

namespace pakeno::transport {

std::string ServerNameRefusal(std::string_view server) {
  if (server.empty()) return "address refused: no server name";
  for (const unsigned char c : server) {
    if (c <= 0x20 || c == 0x7F) return "address refused: the server name holds a blank or a control character";
    if (std::strchr("@?#/\\", c))
      return std::string("address refused: the server name holds \"") + static_cast<char>(c) + "\"";
  }
  return {};
}

bool DomainMatches(std::string_view host, std::string_view domain) {
  return EqualsIgnoringCase(host, domain) ||
         (host.size() > domain.size() && host[host.size() - domain.size() - 1] == '.' &&
          EqualsIgnoringCase(host.substr(host.size() - domain.size()), domain));
}

std::string CookiePathOf(std::string_view target) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  target = target.substr(0, target.find_first_of("?#"));
  std::string path = target.starts_with('/') ? "" : "/";
  for (const unsigned char c : target) {
    if (c <= 0x20 || c >= 0x7F || std::strchr("\"<>\\^`{|}", c)) {
      path += '%';
      path += kHex[c >> 4];
      path += kHex[c & 15];
    } else {
      path += static_cast<char>(c);
    }
  }
  return path;
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
