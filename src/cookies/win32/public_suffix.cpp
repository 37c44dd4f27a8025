// Windows brings no public suffix list: the build's copy (Debian's
// publicsuffix) is compiled in, its rules alone.

#include <utility>

#include "cookies/public_suffix.h"
#include "cookies/public_suffix_rules.h"
#include "public_suffix_list.h"

namespace pakeno::transport {
namespace {

bool& SuffixListMissing() {
  static bool missing = false;
  return missing;
}

}  // namespace

std::optional<bool> PublicSuffixAllowsCookieDomain(std::string_view host, std::string_view domain) {
  static const PublicSuffixRules rules(kPublicSuffixList);
  if (SuffixListMissing() || rules.Empty()) return std::nullopt;
  return rules.AllowsCookieDomain(host, domain);
}

bool SetPublicSuffixListMissingForTesting(bool missing) { return std::exchange(SuffixListMissing(), missing); }

}  // namespace pakeno::transport
