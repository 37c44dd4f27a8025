#include "cookies/public_suffix.h"

#include <libpsl.h>

#include <memory>
#include <string>
#include <utility>

namespace pakeno::transport {
namespace {

struct PslFree {
  void operator()(psl_ctx_t* psl) const { psl_free(psl); }
};

// The system's newest copy of the list, the one libcurl itself would use.
const psl_ctx_t* PublicSuffixes() {
  static const std::unique_ptr<psl_ctx_t, PslFree> psl(psl_latest(nullptr));
  return psl.get();
}

bool& Missing() {
  static bool missing = false;
  return missing;
}

}  // namespace

std::optional<bool> PublicSuffixAllowsCookieDomain(std::string_view host, std::string_view domain) {
  const psl_ctx_t* psl = Missing() ? nullptr : PublicSuffixes();
  if (!psl) return std::nullopt;
  return psl_is_cookie_domain_acceptable(psl, std::string(host).c_str(), std::string(domain).c_str()) != 0;
}

bool SetPublicSuffixListMissingForTesting(bool missing) { return std::exchange(Missing(), missing); }

}  // namespace pakeno::transport
