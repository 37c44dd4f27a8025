#include "app_win32/wide_text.h"

#include <windows.h>

#include <climits>

#include "encoding/gbk.h"

namespace pakeno::win32 {

std::wstring Utf8ToWide(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return {};
  const int size = static_cast<int>(utf8.size());
  std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

std::string WideToUtf8(std::wstring_view wide) {
  if (wide.empty() || wide.size() > INT_MAX) return {};
  const int size = static_cast<int>(wide.size());
  std::string utf8(
      static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
  return utf8;
}

std::wstring GbkToWide(std::string_view gbk, bool* exact) { return Utf8ToWide(GbkToUtf8(gbk, exact)); }

Text WideToGbk(std::wstring_view wide) { return Utf8ToGbk(WideToUtf8(wide)); }

bool WithCrLfBreaks(std::wstring& text) {
  size_t lone = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
      ++i;
    } else if (text[i] == L'\r' || text[i] == L'\n') {
      ++lone;
    }
  }
  if (lone == 0) return false;
  std::wstring out;
  out.reserve(text.size() + lone);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
      out += L"\r\n";
      ++i;
    } else if (text[i] == L'\r' || text[i] == L'\n') {
      out += L"\r\n";
    } else {
      out += text[i];
    }
  }
  text.swap(out);
  return true;
}

}  // namespace pakeno::win32
