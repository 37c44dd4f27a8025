#include "encoding/convert.h"

#include <iconv.h>

#include <cerrno>
#include <memory>
#include <new>
#include <string>

#include "encoding/iconv_handle.h"

namespace pakeno {

namespace {

constexpr int kMaxEnlargements = 11;

}  // namespace

Bytes ConvertEncoding(std::string_view data, std::string_view fromCharset, std::string_view toCharset,
                      bool* succeeded) {
  if (succeeded) *succeeded = false;
  const IconvHandle converter = OpenIconv(fromCharset, toCharset);
  if (!converter) return {};
  if (data.empty()) {
    if (succeeded) *succeeded = true;
    return {};
  }

  const size_t step = data.size() / 2 + 128;
  Bytes output;
  try {
    output.resize(data.size());
  } catch (const std::bad_alloc&) {
    return {};
  }
  char* in = const_cast<char*>(data.data());  // iconv's prototype is not const-correct; it does not write
  size_t inLeft = data.size();
  size_t written = 0;

  for (int enlargements = 0;; ++enlargements) {
    char* out = output.data() + written;
    size_t outLeft = output.size() - written;
    const size_t result = iconv(static_cast<iconv_t>(converter.get()), &in, &inLeft, &out, &outLeft);
    written = static_cast<size_t>(out - output.data());
    if (result != static_cast<size_t>(-1)) break;
    if (errno != E2BIG || enlargements == kMaxEnlargements) return {};
    try {
      output.resize(output.size() + step);
    } catch (const std::bad_alloc&) {
      return {};
    }
  }

  // A stateful charset ends with the sequence back to its initial state;
  // where even that does not fit, the whole conversion has failed.
  char* out = output.data() + written;
  size_t outLeft = output.size() - written;
  if (iconv(static_cast<iconv_t>(converter.get()), nullptr, nullptr, &out, &outLeft) == static_cast<size_t>(-1))
    return {};
  written = static_cast<size_t>(out - output.data());

  output.resize(written);
  if (succeeded) *succeeded = true;
  return output;
}

}  // namespace pakeno
