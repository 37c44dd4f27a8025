#include "cookies/host_names.h"

#include <algorithm>

#include "base/ascii.h"

namespace pakeno::transport {

bool DomainMatches(std::string_view host, std::string_view domain) {
  return EqualsIgnoringCase(host, domain) ||
         (host.size() > domain.size() && host[host.size() - domain.size() - 1] == '.' &&
          EqualsIgnoringCase(host.substr(host.size() - domain.size()), domain));
}

bool IsIpAddress(std::string_view host) {
  return host.find(':') != std::string_view::npos ||
         std::all_of(host.begin(), host.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

}  // namespace pakeno::transport
