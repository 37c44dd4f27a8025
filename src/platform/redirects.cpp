#include "platform/redirects.h"

#include "base/ascii.h"
#include "platform/curl_handles.h"

namespace pakeno::transport {
namespace {

constexpr unsigned kLenient = CURLU_ALLOW_SPACE | CURLU_PATH_AS_IS;

}  // namespace

bool IsRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool RedirectBecomesGet(long status, std::string_view verb) {
  return status == 303 || ((status == 301 || status == 302) && EqualsIgnoringCase(verb, "POST"));
}

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

}  // namespace pakeno::transport
