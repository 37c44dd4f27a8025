#pragma once

// How the session object's POST methods read an address as typed: their own
// rules, not those of http/url.h.

#include <optional>
#include <string_view>

#include "base/types.h"
#include "transport/failure.h"

namespace pakeno {

struct PostTarget {
  Text server;
  int port = 0;     // 0: the service's default
  Text objectName;  // no leading "/"; "\" when the address had no "/"
};

// The request target on the wire: "/" and the object name; "\" is the root.
Text RequestTargetOf(const PostTarget& target);

// For a POST over http: "http://" (any case) is dropped at the start; a port
// may follow the server after ":". Empty when the address is refused (an
// https address, more than one ":", or no server), and `refusal` says why.
std::optional<PostTarget> SplitHttpAddress(std::string_view address, transport::Failure* refusal = nullptr);

// For a POST over https: "https://" (any case) is dropped at the start; the
// server may carry no ":", and the port is `port`. An http address is refused.
std::optional<PostTarget> SplitHttpsAddress(std::string_view address, int port, transport::Failure* refusal = nullptr);

}  // namespace pakeno
