#include "http/url.h"

#include "text/text.h"

namespace pakeno {
namespace {

constexpr std::string_view kScheme = "http://";

// 1-based position where the host begins. "http://" counts only at the very
// start: one inside a query must not redirect the request to another host.
int HostStart(std::string_view url) { return url.starts_with(kScheme) ? static_cast<int>(kScheme.size()) + 1 : 1; }

}  // namespace

Text UrlHost(std::string_view url, bool keepPort) {
  const int hostStart = HostStart(url);
  const int slash = TextFind(url, "/", hostStart);
  const int length = static_cast<int>(url.size());
  const int hostLength = slash == -1 ? length : slash - hostStart;
  Text host = TextMiddle(url, hostStart, hostLength);
  if (!keepPort) {
    const int colon = TextFind(host, ":");
    if (colon != -1) host = TextLeft(host, colon - 1);
  }
  return TextLower(host);
}

Text UrlPath(std::string_view url) {
  const int slash = TextFind(url, "/", HostStart(url));
  if (slash == -1) return "/";
  return TextRight(url, static_cast<int>(url.size()) - slash + 1);
}

int UrlPort(std::string_view url) {
  const Text hostAndPort = UrlHost(url, true);
  const int colon = TextFind(hostAndPort, ":");
  if (colon == -1) return 80;
  return TruncateToInt(TextToNumber(TextRight(hostAndPort, static_cast<int>(hostAndPort.size()) - colon)));
}

}  // namespace pakeno
