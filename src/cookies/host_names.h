#pragma once

// Server names as cookies and proxies compare them.

#include <string_view>

namespace pakeno::transport {

// Whether `host` is `domain` or a name below it ("a.b.test" is below
// "b.test", "ab.test" is not), in any letter case.
bool DomainMatches(std::string_view host, std::string_view domain);

// Whether `host` is written as an IP address (IPv4 digits and dots, or IPv6).
bool IsIpAddress(std::string_view host);

}  // namespace pakeno::transport
