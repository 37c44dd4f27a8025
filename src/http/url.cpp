#include "http/url.h"

#include "base/ascii.h"
#include "text/text.h"

namespace pakeno {
namespace {

// 1-based position where the host begins. A scheme counts only at the very
// start: one inside a query must not redirect the request to another host.
int HostStart(std::string_view url) {
  switch (UrlScheme(url)) {
    case Scheme::kHttp:
      return 8;
    case Scheme::kHttps:
      return 9;
    case Scheme::kNone:
      break;
  }
  return 1;
}

}  // namespace

Scheme UrlScheme(std::string_view url) {
  if (StartsWithIgnoringCase(url, "http://")) return Scheme::kHttp;
  if (StartsWithIgnoringCase(url, "https://")) return Scheme::kHttps;
  return Scheme::kNone;
}

Text UrlHost(std::string_view url, bool keepPort) {
  const Text address = SlashesBeforeQuery(url);
  const int hostStart = HostStart(address);
  const int slash = TextFind(address, "/", hostStart);
  const int length = static_cast<int>(address.size());
  const int hostLength = slash == -1 ? length : slash - hostStart;
  Text host = TextMiddle(address, hostStart, hostLength);
  if (!keepPort) {
    const int colon = TextFind(host, ":");
    if (colon != -1) host = TextLeft(host, colon - 1);
  }
  return TextLower(host);
}

Text UrlPath(std::string_view url) {
  const Text address = SlashesBeforeQuery(url);
  const int slash = TextFind(address, "/", HostStart(address));
  if (slash == -1) return "/";
  return TextRight(address, static_cast<int>(address.size()) - slash + 1);
}

bool UrlNamesPort(std::string_view url) { return TextFind(UrlHost(url, true), ":") != -1; }

int UrlPort(std::string_view url) {
  const Text hostAndPort = UrlHost(url, true);
  const int colon = TextFind(hostAndPort, ":");
  if (colon == -1) return UrlScheme(url) == Scheme::kHttps ? 443 : 80;
  return TruncateToInt(TextToNumber(TextRight(hostAndPort, static_cast<int>(hostAndPort.size()) - colon)));
}

Text TrimAddress(std::string_view address) {
  auto blankAt = [&](size_t i) -> size_t {  // the blank's length at `i`, 0 when none stands there
    const char c = address[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') return 1;
    return address.substr(i, 2) == "\xA1\xA1" ? 2 : 0;
  };
  size_t begin = 0;
  while (begin < address.size() && blankAt(begin) > 0) begin += blankAt(begin);
  // Walked forward, character by character, so a trail byte of A1 is never
  // taken for half a full-width space.
  size_t end = begin;
  for (size_t i = begin; i < address.size();) {
    const size_t blank = blankAt(i);
    const size_t step = blank ? blank : static_cast<unsigned char>(address[i]) >= 0x80 ? 2 : 1;
    i = std::min(address.size(), i + step);
    if (!blank) end = i;
  }
  return Text(address.substr(begin, end - begin));
}

Text SlashesBeforeQuery(std::string_view address) {
  const int query = TextFind(address, "?");
  const size_t end = query == -1 ? address.size() : static_cast<size_t>(query - 1);
  Text result(address);
  for (size_t i = 0; i < end; ++i) {
    if (static_cast<unsigned char>(result[i]) >= 0x80) {
      ++i;  // a trail byte of 0x5C is part of a character, not a backslash
    } else if (result[i] == '\\') {
      result[i] = '/';
    }
  }
  return result;
}

}  // namespace pakeno
