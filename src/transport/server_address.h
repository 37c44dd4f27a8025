#pragma once

// Server names and addresses as the transport takes them.

#include <optional>
#include <string>
#include <string_view>

#include "cookies/host_names.h"
#include "transport/failure.h"

namespace pakeno::transport {

// Why a text cannot be a server's name ("address refused: …"); none when
// it can. Taken whole, a text with "@", "?", "#", "/", "\", blanks or
// control bytes is no name, whatever a URL parser would read out of it.
// Nor is "http" or "https": that is a scheme typed without its "//", and a
// resolver that answers for any name would hand the request to a stranger.
Failure ServerNameRefusal(std::string_view server);

// `text` with every byte `escaped` says as %XX.
std::string PercentEscaped(std::string_view text, bool (*escaped)(unsigned char));

// The path the cookie store matches a request target against: up to the
// query or fragment, beginning with "/", with what a URL cannot hold as %XX.
std::string CookiePathOf(std::string_view target);

// An address split into its parts, as the platform's URL cracker does;
// nothing is escaped or unescaped.
struct UrlParts {
  std::string scheme;  // "http" or "https"
  std::string host;
  int port = 0;
  std::string path;  // path and query, beginning with "/"
  std::optional<std::string> userName, password;
};
std::optional<UrlParts> CrackUrl(std::string_view url);

}  // namespace pakeno::transport
