// Addresses read and resolved by WinINet's URL functions, for the transport
// over WinINet: the parts of an address, and what a Location means relative
// to the address it came from.

#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "base/ascii.h"
#include "platform/redirects.h"
#include "platform/server_address.h"

namespace pakeno::transport {

std::optional<UrlParts> CrackUrl(std::string_view url) {
  const std::string text(url);
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  // A length of 1 asks for pointers into the text itself: nothing escaped or unescaped.
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUserNameLength = parts.dwPasswordLength = 1;
  parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
  if (!InternetCrackUrlA(text.c_str(), static_cast<DWORD>(text.size()), 0, &parts)) return std::nullopt;
  auto piece = [](const char* at, DWORD length) { return at ? std::string(at, length) : std::string(); };
  UrlParts result;
  result.scheme = piece(parts.lpszScheme, parts.dwSchemeLength);
  for (char& c : result.scheme) c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
  if (result.scheme != "http" && result.scheme != "https") return std::nullopt;
  result.host = piece(parts.lpszHostName, parts.dwHostNameLength);
  if (result.host.empty()) return std::nullopt;
  result.port = parts.nPort;
  result.path = piece(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (result.path.empty()) result.path.assign(1, '/');  // the literal trips a false GCC 12 -Wrestrict warning
  const std::string extra = piece(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  result.path += extra.substr(0, extra.find('#'));
  if (parts.dwUserNameLength > 0) result.userName = piece(parts.lpszUserName, parts.dwUserNameLength);
  if (parts.dwPasswordLength > 0) result.password = piece(parts.lpszPassword, parts.dwPasswordLength);
  return result;
}

std::string ResolveLocation(std::string_view base, std::string_view location) {
  const std::string baseText(base), locationText(location);
  if (!CrackUrl(baseText)) return {};
  DWORD size = static_cast<DWORD>(baseText.size() + 3 * locationText.size() + 64);
  std::vector<char> buffer(size);
  if (!InternetCombineUrlA(baseText.c_str(), locationText.c_str(), buffer.data(), &size, 0)) return {};
  std::string combined(buffer.data(), size);
  return CrackUrl(combined) ? combined : std::string();
}

std::string HostOfAddress(std::string_view address) {
  const std::optional<UrlParts> parts = CrackUrl(address);
  if (!parts) return {};
  std::string lower = parts->host;
  for (char& c : lower) c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
  return lower;
}

CookieOrigin CookieOriginOf(std::string_view address) {
  CookieOrigin origin;
  origin.secure = StartsWithIgnoringCase(address, "https://");
  if (const std::optional<UrlParts> parts = CrackUrl(address)) {
    origin.host = HostOfAddress(address);
    origin.path = parts->path.substr(0, parts->path.find('?'));
  }
  return origin;
}

}  // namespace pakeno::transport
