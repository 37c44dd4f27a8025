// The real Win32 program, started with test seams, for tests that watch it
// from outside as a child process, as the Qt build's probe does. Prints what
// happens on standard output.
//
//   win32_probe fatal              the window cannot be loaded
//   win32_probe close              closes the window once it is shown
//   win32_probe close-mid URL      sends a POST to URL and closes the window mid-body
//   win32_probe buttons            shows a real Yes/No box titled "probe-buttons", prints its
//                                  button captions and, once a key answers it, the answer
//
// Its update check asks the server that PAKENO_PROBE_UPDATE_SERVER names
// ("http://127.0.0.1:PORT": /probe, then /latest.html); without it, the
// machine counts as offline.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app_win32/main_window.h"
#include "app_win32/startup.h"
#include "app_win32/wide_text.h"
#include "app_win32/win32_platform.h"
#include "encoding/gbk.h"
#include "gui/printing_boxes.h"
#include "update/connectivity.h"
#include "workflows/program_state.h"

namespace {

pakeno::win32::MainWindow* shownWindow = nullptr;

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

void CALLBACK Close(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  PostMessageW(shownWindow->Handle(), WM_CLOSE, 0, 0);
}

void CALLBACK Send(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  // Returns once the window's own handler has, if it ever does.
  SendMessageW(shownWindow->Control("按钮提交"), BM_CLICK, 0, 0);
  std::printf("request-returned\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  _setmode(_fileno(stdout), _O_BINARY);  // the texts byte for byte, as on Linux
  const std::string mode = argv[1];
  const std::string url = argc > 2 ? argv[2] : "";
  if (mode == "buttons") {
    SetTimer(nullptr, 0, 200, PrintCaptions);
    const auto answer = pakeno::win32::Win32MessageBoxes().Show(
        pakeno::Gbk("键盘回答"), "probe-buttons", pakeno::MessageButtons::kYesNo, pakeno::MessageIcon::kQuestion);
    std::printf("answer=%s\n", answer == pakeno::MessageAnswer::kYes ? "yes" : "no");
    return 0;
  }
  pakeno::testing::PrintingBoxes boxes;
  const char* updateServer = std::getenv("PAKENO_PROBE_UPDATE_SERVER");
  pakeno::SetInterfaceCheckForTesting([online = updateServer && *updateServer] { return online; });
  pakeno::SetExitCleanupObserverForTesting([] {
    std::printf("exit-cleanup\n");
    std::fflush(stdout);
  });
  pakeno::StartupOptions options;
  if (updateServer && *updateServer) {
    options.updatePageAddress = std::string(updateServer) + "/latest.html";
    options.probeAddress = std::string(updateServer) + "/probe";
  }
  options.messageBoxes = &boxes;
  options.failWindowLoad = mode == "fatal";
  options.onShown = [&](pakeno::win32::MainWindow& window) {
    shownWindow = &window;
    std::printf("shown\n");
    std::fflush(stdout);
    if (mode == "close") SetTimer(nullptr, 0, 10, Close);
    if (mode == "close-mid") {
      window.WriteText(pakeno::EditBox::kAddress, url);
      window.WriteText(pakeno::EditBox::kData, "a=1");
      SetTimer(nullptr, 0, 10, Send);
      SetTimer(nullptr, 0, 500, Close);
    }
  };
  const int code = pakeno::RunProgram(argc, argv, options);
  std::printf("message-loop-returned\n");
  return code;
}
