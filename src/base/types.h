#pragma once

#include <string>
#include <string_view>

namespace pakeno {

// A text is a GBK byte string; positions and lengths count bytes.
using Text = std::string;

// A byte buffer: request and response bodies, downloaded pages. May hold NUL bytes.
using Bytes = std::string;

// The bytes up to the first NUL, unconverted. Takes the buffer, so a body of
// many megabytes is not held twice.
inline Text BytesToText(Bytes bytes) {
  if (const size_t nul = bytes.find('\0'); nul != Bytes::npos) bytes.resize(nul);
  return bytes;
}

}  // namespace pakeno
