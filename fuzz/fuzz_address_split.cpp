// The session object's two ways of reading an address.
#include <cstdlib>
#include <string_view>

#include "http/address_split.h"
#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  using namespace pakeno;
  if (const auto target = SplitHttpAddress(input)) {
    if (target->server.empty() || TextFind(target->server, "/") != -1 || TextFind(target->server, ":") != -1)
      std::abort();
    if (target->port < 0 || target->port > 0xFFFF) std::abort();
    if (RequestTargetOf(*target).front() != '/') std::abort();
  }
  if (const auto target = SplitHttpsAddress(input, 443)) {
    if (target->server.empty() || TextFind(target->server, ":") != -1 || target->port != 443) std::abort();
    if (target->server.size() + target->objectName.size() > input.size() + 1) std::abort();
  }
  return 0;
}
