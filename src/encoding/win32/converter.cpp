#include "encoding/converter.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "base/ascii.h"

namespace pakeno {
namespace {

// The charsets the tool names, as Windows code pages; UTF-32LE, which the
// code-page calls do not offer, is written out by hand.
constexpr UINT kUtf32Le = 12000;

UINT CodePageOf(std::string_view name) {
  if (EqualsIgnoringCase(name, "UTF-8")) return CP_UTF8;
  if (EqualsIgnoringCase(name, "GBK") || EqualsIgnoringCase(name, "CP936")) return 936;
  if (EqualsIgnoringCase(name, "GB18030")) return 54936;
  if (EqualsIgnoringCase(name, "UTF-32LE")) return kUtf32Le;
  return 0;
}

bool Trail(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the character at the start of `in` in code page `page`; 0
// when it is no character; more than in.size() when it is cut off. These are
// iconv's rules for the same names: GBK has no single byte above 0x7F.
size_t CharacterLength(UINT page, std::string_view in) {
  const auto lead = static_cast<unsigned char>(in[0]);
  if (lead < 0x80) return 1;
  if (page == CP_UTF8) {
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    for (size_t i = 1; i < length && i < in.size(); ++i) {
      if (!Trail(static_cast<unsigned char>(in[i]))) return 0;
    }
    return length;
  }
  if (lead == 0x80 || lead == 0xFF) return 0;
  if (in.size() < 2) return 2;
  const auto second = static_cast<unsigned char>(in[1]);
  if (page == 54936 && second >= 0x30 && second <= 0x39) return 4;
  return second >= 0x40 && second != 0x7F && second != 0xFF ? 2 : 0;
}

// A system without GB18030 (Wine 8) still converts what GBK holds, the same
// bytes in both; what only GB18030 holds is then no character.
UINT CallablePage(UINT page) { return page == 54936 && !IsValidCodePage(54936) ? 936 : page; }

class CodePageConverter : public Converter {
 public:
  CodePageConverter(UINT from, UINT to)
      : from_(from), to_(to), callFrom_(CallablePage(from)), callTo_(CallablePage(to)) {}

  Result Convert(std::string_view& in, char*& out, size_t& outLeft) override {
    while (!in.empty()) {
      // ASCII is the same in every charset here but UTF-32.
      if (to_ != kUtf32Le) {
        size_t ascii = 0;
        while (ascii < in.size() && ascii < outLeft && static_cast<unsigned char>(in[ascii]) < 0x80) ++ascii;
        std::memcpy(out, in.data(), ascii);
        out += ascii;
        outLeft -= ascii;
        in.remove_prefix(ascii);
        if (in.empty()) break;
        if (outLeft == 0) return Result::kOutputFull;
        if (static_cast<unsigned char>(in[0]) < 0x80) continue;
      }
      const size_t length = CharacterLength(from_, in);
      if (length == 0) return Result::kInvalid;
      if (length > in.size()) return Result::kIncomplete;
      wchar_t wide[2];
      const int units =
          MultiByteToWideChar(callFrom_, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(length), wide, 2);
      if (units <= 0) return Result::kInvalid;
      char bytes[8];
      int count = 0;
      if (to_ == kUtf32Le) {
        const unsigned code = units == 2 ? 0x10000 + ((wide[0] - 0xD800u) << 10) + (wide[1] - 0xDC00u) : wide[0];
        for (int i = 0; i < 4; ++i) bytes[count++] = static_cast<char>((code >> (8 * i)) & 0xFF);
      } else {
        BOOL defaulted = FALSE;
        const bool total = callTo_ == CP_UTF8 || callTo_ == 54936;  // every character has a place
        count = WideCharToMultiByte(callTo_, total ? 0 : WC_NO_BEST_FIT_CHARS, wide, units, bytes, sizeof bytes,
                                    nullptr, total ? nullptr : &defaulted);
        if (count <= 0 || defaulted) return Result::kInvalid;  // the target cannot hold it
        // Code page 936's euro sign is one byte, 0x80, which GBK and GB18030 do not have.
        if (count == 1 && static_cast<unsigned char>(bytes[0]) >= 0x80) return Result::kInvalid;
      }
      if (static_cast<size_t>(count) > outLeft) return Result::kOutputFull;
      std::memcpy(out, bytes, static_cast<size_t>(count));
      out += count;
      outLeft -= static_cast<size_t>(count);
      in.remove_prefix(length);
    }
    return Result::kDone;
  }

  // None of these charsets has a state to return from.
  bool Finish(char*&, size_t&) override { return true; }
  void Reset() override {}

 private:
  UINT from_, to_;
  UINT callFrom_, callTo_;  // the code pages the system is asked for
};

}  // namespace

std::unique_ptr<Converter> Converter::Open(std::string_view from, std::string_view to) {
  const UINT source = CodePageOf(from), target = CodePageOf(to);
  if (source == 0 || target == 0 || source == kUtf32Le) return nullptr;
  return std::make_unique<CodePageConverter>(source, target);
}

}  // namespace pakeno
