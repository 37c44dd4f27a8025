#include "app_win32/startup.h"

#include <cstdio>
#include <cstdlib>

#include "app_win32/main_window.h"
#include "app_win32/win32_platform.h"
#include "base/version.h"
#include "encoding/gbk.h"
#include "update/connectivity.h"
#include "update/download.h"
#include "update/update_check.h"
#include "workflows/clipboard_commands.h"
#include "workflows/program_state.h"
#include "workflows/submission.h"

using pakeno::win32::MainWindow;
using pakeno::win32::Win32Browser;
using pakeno::win32::Win32Clipboard;
using pakeno::win32::Win32MessageBoxes;

namespace pakeno {
namespace {

[[noreturn]] void FailToLoad(MessageBoxes& boxes) {
  boxes.Show(Gbk("运行时出错!\n\n错误信息：载入启动窗口失败\n"), Gbk("错误"), MessageButtons::kOk, MessageIcon::kError);
  std::fflush(nullptr);
  std::_Exit(-1);  // a fatal error skips the exit routine
}

}  // namespace

int RunProgram(int&, char**, const StartupOptions& options) {
  // The manifest makes the program DPI-aware; a test program has none.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);

  Program().httpSession = std::make_unique<HttpSession>();
  std::atexit([] { ExitCleanup(); });

  Win32MessageBoxes systemBoxes;
  MessageBoxes& boxes = options.messageBoxes ? *options.messageBoxes : systemBoxes;
  if (options.failWindowLoad) FailToLoad(boxes);

  MainWindow* window = nullptr;
  Win32Clipboard clipboard([&] { return window ? window->Handle() : nullptr; });
  Win32Browser browser;
  WindowHandlers handlers;
  UpdateServices updates{boxes, browser, [&] { return IsInternetConnected(options.probeAddress); }, DownloadBytes};
  handlers.created = [&] { CheckForUpdate(options.updatePageAddress, kVersion, false, updates); };
  handlers.destroyed = [] { EndProgram(0); };
  handlers.send = [&] { PressSend(*window, boxes, Program()); };
  handlers.copy = [&](EditBox box) { PressCopy(*window, box, clipboard, boxes); };
  handlers.clear = [&] { PressClear(*window); };
  MainWindow mainWindow(std::move(handlers));
  window = &mainWindow;
  if (!mainWindow.Create()) FailToLoad(boxes);

  win32::InstallWin32EventPump(mainWindow);
  mainWindow.Load();
  if (options.onShown) options.onShown(mainWindow);
  return win32::RunMessageLoop(mainWindow);
}

}  // namespace pakeno
