#include "encoding/convert.h"

#include <iconv.h>

#include <cerrno>
#include <memory>
#include <new>
#include <string>

namespace pakeno {
namespace detail {
namespace {

size_t SystemIconv(void* converter, char** in, size_t* inLeft, char** out, size_t* outLeft) {
  return iconv(static_cast<iconv_t>(converter), in, inLeft, out, outLeft);
}

IconvCall currentIconv = &SystemIconv;

}  // namespace

IconvCall SetIconvCallForTesting(IconvCall call) {
  IconvCall previous = currentIconv;
  currentIconv = call ? call : &SystemIconv;
  return previous;
}

}  // namespace detail

namespace {

constexpr int kMaxEnlargements = 11;

struct IconvCloser {
  void operator()(void* converter) const { iconv_close(static_cast<iconv_t>(converter)); }
};
using Converter = std::unique_ptr<void, IconvCloser>;

Converter OpenConverter(std::string_view fromCharset, std::string_view toCharset) {
  const std::string from(fromCharset), to(toCharset);
  iconv_t converter = iconv_open(to.c_str(), from.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return Converter(converter);
}

}  // namespace

Bytes ConvertEncoding(std::string_view data, std::string_view fromCharset, std::string_view toCharset,
                      bool* succeeded) {
  if (succeeded) *succeeded = false;
  Converter converter = OpenConverter(fromCharset, toCharset);
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
    const size_t result = detail::currentIconv(converter.get(), &in, &inLeft, &out, &outLeft);
    written = static_cast<size_t>(out - output.data());
    if (result != static_cast<size_t>(-1)) break;
    if (errno != E2BIG || enlargements == kMaxEnlargements) return {};
    try {
      output.resize(output.size() + step);
    } catch (const std::bad_alloc&) {
      return {};
    }
  }

  output.resize(written);
  if (succeeded) *succeeded = true;
  return output;
}

}  // namespace pakeno
