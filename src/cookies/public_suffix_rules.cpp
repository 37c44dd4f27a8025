#include "cookies/public_suffix_rules.h"

#include "cookies/host_names.h"

namespace pakeno::transport {

PublicSuffixRules::PublicSuffixRules(std::string_view list) {
  while (!list.empty()) {
    const size_t end = list.find('\n');
    std::string_view line = list.substr(0, end);
    list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
    // A rule ends at the first blank; the rest of the line is not read.
    line = line.substr(0, line.find_first_of(" \t\r"));
    if (!line.empty() && !line.starts_with("//")) rules_.emplace(line);
  }
}

std::string_view PublicSuffixRules::SuffixOf(std::string_view host) const {
  const size_t lastDot = host.rfind('.');
  std::string_view longest = lastDot == std::string_view::npos ? host : host.substr(lastDot + 1);
  // From the whole name down to its last label: the first rule found is the longest.
  for (size_t start = 0;;) {
    const std::string_view candidate = host.substr(start);
    const size_t dot = candidate.find('.');
    if (rules_.contains("!" + std::string(candidate)))
      return dot == std::string_view::npos ? candidate : candidate.substr(dot + 1);
    if (rules_.contains(std::string(candidate))) return candidate;
    if (dot != std::string_view::npos && rules_.contains("*." + std::string(candidate.substr(dot + 1))))
      return candidate;
    if (dot == std::string_view::npos) break;
    start += dot + 1;
  }
  return longest;
}

bool PublicSuffixRules::AllowsCookieDomain(std::string_view host, std::string_view domain) const {
  while (domain.starts_with('.')) domain.remove_prefix(1);
  if (host == domain) return true;
  if (IsIpAddress(host) || domain.size() >= host.size()) return false;
  const std::string_view tail = host.substr(host.size() - domain.size());
  if (tail != domain || host[host.size() - domain.size() - 1] != '.') return false;
  return domain.size() > SuffixOf(host).size();
}

}  // namespace pakeno::transport
