#pragma once

#include <string>
#include <string_view>

namespace pakeno {

// A text is a GBK byte string; positions and lengths count bytes.
using Text = std::string;

// A byte buffer: request and response bodies, downloaded pages. May hold NUL bytes.
using Bytes = std::string;

// The bytes up to the first NUL, unconverted.
inline Text BytesToText(std::string_view bytes) {
  return Text(bytes.substr(0, bytes.find('\0')));
}

}  // namespace pakeno
