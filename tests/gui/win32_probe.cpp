// The Win32 message box as the end-to-end run looks at it from outside.
//
//   win32_probe buttons    shows a real Yes/No box titled "probe-buttons", prints its
//                          button captions and, once a key answers it, the answer

#include <windows.h>

#include <cstdio>
#include <string>

#include "app_win32/wide_text.h"
#include "app_win32/win32_platform.h"
#include "encoding/gbk.h"

namespace {

void CALLBACK PrintCaptions(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  std::string line = "captions:";
  for (const int id : {IDOK, IDYES, IDNO}) {
    wchar_t caption[64] = {};
    if (GetDlgItemTextW(GetActiveWindow(), id, caption, 64)) line += " " + pakeno::win32::WideToUtf8(caption);
  }
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) != "buttons") return 2;
  SetTimer(nullptr, 0, 200, PrintCaptions);
  const auto answer = pakeno::win32::Win32MessageBoxes().Show(
      pakeno::Gbk("键盘回答"), "probe-buttons", pakeno::MessageButtons::kYesNo, pakeno::MessageIcon::kQuestion);
  std::printf("answer=%s\n", answer == pakeno::MessageAnswer::kYes ? "yes" : "no");
  return 0;
}
