#include "http/failure_log.h"

#include <cstdio>
#include <string>
#include <utility>

#include "encoding/gbk.h"
#include "system/process.h"

namespace pakeno {
namespace {

FailureLogSink& Sink() {
  static FailureLogSink sink;
  return sink;
}

std::string Printable(std::string_view text) {
  std::string out;
  for (const unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

void LogFailedRequest(std::string_view method, std::string_view address, std::string_view reason) {
  const std::string line =
      "pakeno: " + Printable(method) + " " + Printable(GbkToUtf8(address)) + " failed: " + Printable(reason) + "\n";
  if (Sink()) {
    Sink()(line);
  } else {
    WriteStandardError(line);
  }
}

FailureLogSink SetFailureLogSinkForTesting(FailureLogSink sink) { return std::exchange(Sink(), std::move(sink)); }

}  // namespace pakeno
