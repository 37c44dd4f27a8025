#include "http/cookie_pass.h"

#include "base/event_pump.h"
#include "text/text.h"

namespace pakeno {

void CookiePass(std::string_view headerBlock, const CookieSink& store) {
  constexpr std::string_view kMarker = "Set-Cookie: ";
  while (!headerBlock.empty()) {
    const size_t end = headerBlock.find_first_of(std::string_view("\n\0\x1A", 3));
    std::string_view line = headerBlock.substr(0, end);
    headerBlock.remove_prefix(end == std::string_view::npos ? headerBlock.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);

    // Only a line that is a Set-Cookie header counts; "X-Set-Cookie: a=b" is not one.
    if (TextFind(line.substr(0, kMarker.size()), kMarker, 1, true) == 1) {
      const std::string_view cookie = line.substr(kMarker.size());
      const size_t eq = cookie.find('=');
      if (eq == std::string_view::npos) {
        store({}, cookie);
      } else {
        store(cookie.substr(0, eq), cookie.substr(eq + 1));
      }
    }
    PumpEvents();
  }
}

}  // namespace pakeno
