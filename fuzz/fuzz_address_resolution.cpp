// Location resolution: a base address, a line break, a Location value.
#include <cstdlib>
#include <string>
#include <string_view>

#include "check.h"

#include "transport/redirects.h"
#include "transport/server_address.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  using namespace pakeno::transport;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\n');
  const std::string_view base = input.substr(0, cut);
  const std::string_view location = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);
  const std::string resolved = ResolveLocation(base, location);
  if (resolved.empty()) return 0;
  // Nothing in it can break the request line it goes on.
  for (const unsigned char c : resolved) Check(c > 0x20 && c != 0x7F);
  // Resolved once is resolved for good.
  Check(ResolveLocation(resolved, resolved) == resolved);
  // A request can be made of an http(s) address: to the host it names.
  if (const auto parts = CrackUrl(resolved)) {
    Check(!parts->host.empty() && parts->path.starts_with('/'));
    Check(parts->port > 0 && parts->port <= 0xFFFF);
    Check(!HostOfAddress(resolved).empty());
    Check(parts->path.find('#') == std::string::npos);
  }
  return 0;
}
