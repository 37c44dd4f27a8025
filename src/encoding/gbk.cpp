#include "encoding/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

#include "encoding/iconv_handle.h"

namespace pakeno {
namespace {

// Length of the well-formed UTF-8 sequence at the start of `s`; 1 for a
// stray or cut-off byte, so the bytes after it are kept.
size_t Utf8SequenceLength(std::string_view s) {
  const unsigned char lead = s[0];
  size_t length = 1;
  if (lead >= 0xF0 && lead <= 0xF4)
    length = 4;
  else if (lead >= 0xE0 && lead <= 0xEF)
    length = 3;
  else if (lead >= 0xC2 && lead <= 0xDF)
    length = 2;
  if (length > s.size()) return 1;
  for (size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

// Converts what iconv can; at each unconvertible spot appends `replacement`
// and skips the bytes that `skip` names, then carries on.
template <typename Skip>
std::string LenientConvert(std::string_view input, const char* from, const char* to, std::string_view replacement,
                           Skip skip, bool* exact = nullptr) {
  if (exact) *exact = true;
  const IconvHandle converter = OpenIconv(from, to);
  std::string output;
  if (!converter) {
    // Without a converter only ASCII, the same in both charsets, comes through.
    for (size_t i = 0; i < input.size();) {
      if (static_cast<unsigned char>(input[i]) < 0x80) {
        output += input[i++];
        continue;
      }
      output.append(replacement);
      if (exact) *exact = false;
      i += skip(input.substr(i));
    }
    return output;
  }
  output.reserve(input.size() * 3 / 2 + 16);
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    const size_t result = iconv(static_cast<iconv_t>(converter.get()), &in, &inLeft, &out, &outLeft);
    output.append(buffer, static_cast<size_t>(out - buffer));
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ or EINVAL: an unconvertible or incomplete sequence at `in`.
    output.append(replacement);
    if (exact) *exact = false;
    const size_t n = skip(std::string_view(in, inLeft));
    in += n;
    inLeft -= n;
    iconv(static_cast<iconv_t>(converter.get()), nullptr, nullptr, nullptr, nullptr);  // reset shift state
  }
  char* out = buffer;
  size_t outLeft = sizeof buffer;
  iconv(static_cast<iconv_t>(converter.get()), nullptr, nullptr, &out, &outLeft);  // back to the initial state
  output.append(buffer, static_cast<size_t>(out - buffer));
  return output;
}

}  // namespace

Text Utf8ToGbk(std::string_view utf8) { return LenientConvert(utf8, "UTF-8", "GBK", "?", Utf8SequenceLength); }

std::string GbkToUtf8(std::string_view gbk, bool* exact) {
  // One byte at a time, so that a bad lead byte does not swallow the next character.
  return LenientConvert(
      gbk, "GBK", "UTF-8", "\xEF\xBF\xBD", [](std::string_view) { return size_t{1}; }, exact);
}

std::string Gb18030ToUtf8(std::string_view gb18030) {
  return LenientConvert(gb18030, "GB18030", "UTF-8", "\xEF\xBF\xBD", [](std::string_view) { return size_t{1}; });
}

}  // namespace pakeno
