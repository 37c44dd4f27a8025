#include "app_win32/startup.h"

#include <cstdio>
#include <cstdlib>

#include "app_win32/dpi.h"
#include "app_win32/main_window.h"
#include "app_win32/win32_platform.h"
#include "encoding/gbk.h"
#include "workflows/program_handlers.h"
#include "workflows/program_state.h"

using pakeno::win32::BecomeDpiAware;
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
  BecomeDpiAware();

  Program().httpSession = std::make_unique<HttpSession>();
  std::atexit([] { ExitCleanup(); });

  Win32MessageBoxes systemBoxes;
  MessageBoxes& boxes = options.messageBoxes ? *options.messageBoxes : systemBoxes;
  if (options.failWindowLoad) FailToLoad(boxes);

  MainWindow* window = nullptr;
  Win32Clipboard clipboard([&] { return window ? window->Handle() : nullptr; });
  Win32Browser browser;
  ProgramServices services{boxes, clipboard, browser, options.updatePageAddress, options.probeAddress};
  MainWindow mainWindow(ProgramHandlers(services));
  services.window = window = &mainWindow;
  if (!mainWindow.Create()) FailToLoad(boxes);

  win32::InstallWin32EventPump(mainWindow);
  mainWindow.Load();
  if (options.onShown) options.onShown(mainWindow);
  return win32::RunMessageLoop(mainWindow);
}

}  // namespace pakeno
