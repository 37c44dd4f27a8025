#include "system/process.h"

#include <windows.h>
// After windows.h, whose types they use.
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pakeno {

void EndProcessNow(int code) {
  std::fflush(nullptr);
  // ExitProcess would run every library's detach code while a request's
  // thread may be inside WinINet, which Microsoft documents as a way to
  // deadlock; TerminateProcess runs none.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
  std::_Exit(code);
}

void WriteStandardError(std::string_view utf8) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stderr)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    return;
  }
  // A console shows bytes in its own code page, which is rarely UTF-8: it is
  // given the characters instead.
  const int size = static_cast<int>(utf8.size());
  std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
  std::fflush(stderr);
  DWORD written = 0;
  WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

std::string EnvironmentVariable(const char* name) {
  // Windows itself compares names without letter case; the tool's rules tell
  // http_proxy from HTTP_PROXY, so the block is searched by exact name.
  const size_t length = std::strlen(name);
  for (char** entry = _environ; entry && *entry; ++entry) {
    if (std::strncmp(*entry, name, length) == 0 && (*entry)[length] == '=') return *entry + length + 1;
  }
  return "";
}

}  // namespace pakeno
