#pragma once

// An iconv converter that closes itself.

#include <iconv.h>

#include <memory>
#include <string>
#include <string_view>

namespace pakeno {

struct IconvCloser {
  void operator()(void* converter) const { iconv_close(static_cast<iconv_t>(converter)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

// A converter from `from` to `to`; empty when iconv knows either name not.
inline IconvHandle OpenIconv(std::string_view from, std::string_view to) {
  const iconv_t converter = iconv_open(std::string(to).c_str(), std::string(from).c_str());
  return IconvHandle(converter == reinterpret_cast<iconv_t>(-1) ? nullptr : converter);
}

}  // namespace pakeno
