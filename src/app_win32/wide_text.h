#pragma once

// The window's boundary between the tool's GBK texts and the wide (UTF-16)
// texts of the Win32 controls: through code page 936, as the shared
// conversion does it on Windows, so the system's own code page never matters.

#include <string>
#include <string_view>

#include "base/types.h"

namespace pakeno::win32 {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

// Bytes that are not GBK become U+FFFD; `exact` tells whether none did.
std::wstring GbkToWide(std::string_view gbk, bool* exact = nullptr);
// A character GBK cannot hold becomes "?".
Text WideToGbk(std::wstring_view wide);

// Makes every line break CR LF, the only break a multi-line EDIT and the
// clipboard know; true when one was not.
bool WithCrLfBreaks(std::wstring& text);

}  // namespace pakeno::win32
