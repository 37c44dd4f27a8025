#pragma once

// The public suffix list (co.uk, com.cn, github.io, ...): names under which
// many unrelated sites live, so that no site may set a cookie for all of them.

#include <optional>
#include <string_view>

namespace pakeno::transport {

// Whether `host` may set a cookie for `domain` (host-lower-case, no leading
// dot), as far as the list says; nothing when the list could not be loaded.
std::optional<bool> PublicSuffixAllowsCookieDomain(std::string_view host, std::string_view domain);

// Makes the list look unloadable, as on a system without one. Returns the
// previous setting. For tests.
bool SetPublicSuffixListMissingForTesting(bool missing);

}  // namespace pakeno::transport
