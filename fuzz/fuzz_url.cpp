// Address splitting and the text operations under it.
#include <cstdlib>
#include <string_view>

#include "check.h"

#include "http/url.h"
#include "text/text.h"

namespace {

// No ASCII capital outside a double-byte character.
bool LowerCase(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = text[i];
    if (c >= 0x80) {
      ++i;
    } else if (c >= 'A' && c <= 'Z') {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  using namespace pakeno;

  const Text path = UrlPath(input);
  Check(!path.empty() && path[0] == '/');
  Check(path == "/" || SlashesBeforeQuery(input).ends_with(path));
  // Trimming only drops blanks at the ends: what is left stood in the input as it is.
  const Text trimmed = TrimAddress(input);
  Check(input.find(trimmed) != std::string_view::npos);
  Check(trimmed.empty() || trimmed.find_first_of(" \t\r\n") != 0);
  Check(TrimAddress(trimmed) == trimmed);
  const Text host = UrlHost(input);
  Check(LowerCase(host) && host.size() <= input.size());
  Check(UrlHost(input, true).starts_with(host));
  UrlPort(input);

  // Split the input into a text and a search text, and check the search.
  const size_t cut = size ? data[0] % (size + 1) : 0;
  const std::string_view text = input.substr(0, cut), what = input.substr(cut);
  for (bool ignoreCase : {false, true}) {
    const int at = TextFind(text, what, 1 + static_cast<int>(size % 5), ignoreCase);
    Check(at == -1 || (at >= 1 && static_cast<size_t>(at) - 1 + what.size() <= text.size()));
    if (at != -1 && !ignoreCase) Check(text.substr(at - 1, what.size()) == what);
  }
  Check(TextLower(input).size() == input.size());
  if (!what.empty()) {
    size_t total = 0;
    for (const Text& part : TextSplit(text, what)) total += part.size();
    Check(total <= text.size());
  }
  TruncateToInt(TextToNumber(input));
  return 0;
}
