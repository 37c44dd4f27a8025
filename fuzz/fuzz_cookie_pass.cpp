// The cookie pass over a raw header block: every cookie is a piece of the block.
#include <cstdlib>
#include <string_view>

#include "http/cookie_pass.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  const std::string_view block(reinterpret_cast<const char*>(data), size);
  const char* begin = block.data();
  const char* end = begin + block.size();
  auto inside = [&](std::string_view piece) {
    return piece.empty() || (piece.data() >= begin && piece.data() + piece.size() <= end);
  };
  pakeno::CookiePass(block, [&](std::string_view name, std::string_view value) {
    if (!inside(name) || !inside(value) || name.find('=') != std::string_view::npos) std::abort();
  });
  return 0;
}
