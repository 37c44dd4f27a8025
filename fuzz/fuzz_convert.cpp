// Charset conversion: whatever it reports as converted is valid GB18030 and
// converts back to the input.
#include <cstdlib>
#include <string_view>

#include "encoding/convert.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  bool ok = false;
  const pakeno::Bytes output = pakeno::ConvertEncoding(input, "UTF-8", "GB18030", &ok);
  if (!ok) {
    if (!output.empty()) std::abort();  // nothing of a failed conversion comes back
    return 0;
  }
  bool back = false;
  if (pakeno::ConvertEncoding(output, "GB18030", "UTF-8", &back) != input || !back) std::abort();
  return 0;
}
