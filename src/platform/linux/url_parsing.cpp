// Addresses read and resolved by libcurl's URL parser, for the transport
// over libcurl: what a Location means relative to the address it came
// from, and the parts of an address.

#include <cstdlib>

#include "base/ascii.h"
#include "platform/linux/curl_handles.h"
#include "platform/redirects.h"
#include "platform/server_address.h"

namespace pakeno::transport {
namespace {

constexpr unsigned kLenient = CURLU_ALLOW_SPACE | CURLU_PATH_AS_IS;

}  // namespace

std::string ResolveLocation(std::string_view base, std::string_view location) {
  detail::Url url(detail::GlobalInit() ? curl_url() : nullptr);
  if (!url) return {};
  const std::string baseText(base), locationText(location);
  if (curl_url_set(url.get(), CURLUPART_URL, baseText.c_str(), kLenient) != CURLUE_OK) return {};
  if (curl_url_set(url.get(), CURLUPART_URL, locationText.c_str(), kLenient | CURLU_URLENCODE) != CURLUE_OK) return {};
  char* text = nullptr;
  if (curl_url_get(url.get(), CURLUPART_URL, &text, 0) != CURLUE_OK) return {};
  return detail::CurlText(text).get();
}

CookieOrigin CookieOriginOf(std::string_view address) {
  CookieOrigin origin;
  origin.secure = StartsWithIgnoringCase(address, "https://");
  origin.host = HostOfAddress(address);
  detail::Url url(detail::GlobalInit() ? curl_url() : nullptr);
  const std::string text(address);
  char* path = nullptr;
  if (url && curl_url_set(url.get(), CURLUPART_URL, text.c_str(), kLenient) == CURLUE_OK &&
      curl_url_get(url.get(), CURLUPART_PATH, &path, 0) == CURLUE_OK)
    origin.path = detail::CurlText(path).get();
  return origin;
}

std::string HostOfAddress(std::string_view address) {
  detail::Url url(detail::GlobalInit() ? curl_url() : nullptr);
  const std::string text(address);
  if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), kLenient) != CURLUE_OK) return {};
  char* host = nullptr;
  if (curl_url_get(url.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK) return {};
  std::string lower(detail::CurlText(host).get());
  for (char& c : lower) c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
  return lower;
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
