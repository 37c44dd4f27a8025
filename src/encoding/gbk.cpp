#include "encoding/gbk.h"

#include <memory>

#include "encoding/converter.h"

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

// Converts what the system can; at each unconvertible spot appends
// `replacement` and skips the bytes that `skip` names, then carries on.
template <typename Skip>
std::string LenientConvert(std::string_view input, const char* from, const char* to, std::string_view replacement,
                           Skip skip, bool* exact = nullptr) {
  if (exact) *exact = true;
  const std::unique_ptr<Converter> converter = Converter::Open(from, to);
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
  std::string_view in = input;
  char buffer[4096];
  while (!in.empty()) {
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    const Converter::Result result = converter->Convert(in, out, outLeft);
    output.append(buffer, static_cast<size_t>(out - buffer));
    if (result == Converter::Result::kDone || result == Converter::Result::kOutputFull) continue;
    // An unconvertible or incomplete sequence at the start of `in`.
    output.append(replacement);
    if (exact) *exact = false;
    in.remove_prefix(skip(in));
    converter->Reset();
  }
  char* out = buffer;
  size_t outLeft = sizeof buffer;
  converter->Finish(out, outLeft);
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
