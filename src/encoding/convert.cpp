#include "encoding/convert.h"

#include <new>
#include <string>

#include "encoding/converter.h"

namespace pakeno {

namespace {

constexpr int kMaxEnlargements = 11;

}  // namespace

Bytes ConvertEncoding(std::string_view data, std::string_view fromCharset, std::string_view toCharset,
                      bool* succeeded) {
  if (succeeded) *succeeded = false;
  const std::unique_ptr<Converter> converter = Converter::Open(fromCharset, toCharset);
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
  std::string_view in = data;
  size_t written = 0;

  for (int enlargements = 0;; ++enlargements) {
    char* out = output.data() + written;
    size_t outLeft = output.size() - written;
    const Converter::Result result = converter->Convert(in, out, outLeft);
    written = static_cast<size_t>(out - output.data());
    if (result == Converter::Result::kDone) break;
    if (result != Converter::Result::kOutputFull || enlargements == kMaxEnlargements) return {};
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
  if (!converter->Finish(out, outLeft)) return {};
  written = static_cast<size_t>(out - output.data());

  output.resize(written);
  if (succeeded) *succeeded = true;
  return output;
}

}  // namespace pakeno
