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

std::string PercentEscaped(std::string_view text, bool (*escaped)(unsigned char)) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    if (escaped(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string CookiePathOf(std::string_view target) {
  target = target.substr(0, target.find_first_of("?#"));
  return (target.starts_with('/') ? "" : "/") + PercentEscaped(target, [](unsigned char c) {
           return c <= 0x20 || c >= 0x7F || std::strchr("\"<>\\^`{|}", c) != nullptr;
         });
}

}  // namespace pakeno::transport
