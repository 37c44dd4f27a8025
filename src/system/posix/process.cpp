#include "system/process.h"

#include <cstdio>
#include <cstdlib>

namespace pakeno {

void EndProcessNow(int code) {
  std::fflush(nullptr);
  std::_Exit(code);
}

void WriteStandardError(std::string_view utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stderr); }

std::string EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace pakeno
