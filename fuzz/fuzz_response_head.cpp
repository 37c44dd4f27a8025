// A response's header block, line by line, as a transport hands it over:
// the block is held exactly as large as it is, so a read past it is caught.
#include <cstdlib>
#include <memory>
#include <string_view>

#include "check.h"

#include "transport/response_head.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  using namespace pakeno::transport;
  const auto copy = std::make_unique<char[]>(size);
  std::copy(data, data + size, copy.get());
  std::string_view rest(copy.get(), size);
  ResponseHead head;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end == std::string_view::npos ? rest.size() : end + 1);
    rest.remove_prefix(line.size());
    if (line.starts_with("HTTP/")) head.Clear();
    if (!head.Add(line).empty()) break;  // refused: nothing more is read
    Check(head.Block().size() <= kMaxHeaderBlock);
    Check(head.Block().ends_with("\r\n"));
  }
  const int status = head.Status();
  Check(status >= 0 && status <= 999);
  const std::string_view phrase = head.ReasonPhrase();
  Check(phrase.empty() || (phrase.data() >= head.Block().data() &&
                           phrase.data() + phrase.size() <= head.Block().data() + head.Block().size()));
  Check(phrase.find('\n') == std::string_view::npos);
  for (const std::string& cookie : head.SetCookies()) Check(head.Block().find(cookie) != std::string::npos);
  if (head.ContentLength()) Check(head.Block().find(*head.ContentLength()) != std::string::npos);
  return 0;
}
