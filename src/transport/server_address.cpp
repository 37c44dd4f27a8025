#include "transport/server_address.h"

#include <algorithm>

#include <cstring>

#include "base/ascii.h"

namespace pakeno::transport {

Failure ServerNameRefusal(std::string_view server) {
  if (server.empty()) return {FailureKind::kNoServer, "address refused: no server name"};
  for (const unsigned char c : server) {
    if (c <= 0x20 || c == 0x7F)
      return {FailureKind::kServerName, "address refused: the server name holds a blank or a control character"};
    if (std::strchr("@?#/\\", c))
      return {FailureKind::kServerName,
              std::string("address refused: the server name holds \"") + static_cast<char>(c) + "\""};
  }
  if (EqualsIgnoringCase(server, "http") || EqualsIgnoringCase(server, "https"))
    return {FailureKind::kSchemeAsServer,
            "address refused: the server name is \"" + std::string(server) + "\", a scheme without its \"//\""};
  return {};
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

}  // namespace pakeno::transport
