#pragma once

// The public suffix list's own algorithm (its rules, "*." wildcards and "!"
// exceptions), for a system whose libraries do not bring it: the list's
// text goes in, the answers libpsl gives come out.

#include <string>
#include <string_view>
#include <unordered_set>

namespace pakeno::transport {

class PublicSuffixRules {
 public:
  // The list as published: one rule a line, "//" comments, blank lines.
  explicit PublicSuffixRules(std::string_view list);

  bool Empty() const { return rules_.empty(); }

  // The longest public suffix `host` (lower case) ends in; its last label
  // when no rule names it.
  std::string_view SuffixOf(std::string_view host) const;

  // Whether `host` may set a cookie for `domain`: its own name, or a domain
  // above it that is longer than its public suffix. No domain for an IP address.
  bool AllowsCookieDomain(std::string_view host, std::string_view domain) const;

 private:
  std::unordered_set<std::string> rules_;  // "co.uk", "*.ck", "!www.ck"
};

}  // namespace pakeno::transport
