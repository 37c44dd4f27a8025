#include "app/startup.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
#include "app/qt_platform.h"
#include "base/version.h"
#include "encoding/gbk.h"
#include "update/connectivity.h"
#include "update/download.h"
#include "update/update_check.h"
#include "workflows/clipboard_commands.h"
#include "workflows/program_state.h"
#include "workflows/submission.h"

namespace pakeno {

int RunProgram(int& argc, char** argv, const StartupOptions& options) {
  QApplication application(argc, argv);

  Program().httpSession = std::make_unique<HttpSession>();
  std::atexit([] { ExitCleanup(); });

  QtMessageBoxes qtBoxes;
  MessageBoxes& boxes = options.messageBoxes ? *options.messageBoxes : qtBoxes;
  if (options.failWindowLoad) {
    boxes.Show(Gbk("运行时出错!\n\n错误信息：载入启动窗口失败\n"), Gbk("错误"), MessageButtons::kOk,
               MessageIcon::kError);
    std::fflush(nullptr);
    std::_Exit(-1);  // a fatal error skips the exit routine
  }

  QtClipboard clipboard;
  MainWindow* window = nullptr;
  WindowHandlers handlers;
  QtBrowser browser;
  UpdateServices updates{boxes, browser, [&] { return IsInternetConnected(options.probeAddress); }, DownloadBytes};
  handlers.created = [&] { CheckForUpdate(options.updatePageAddress, kVersion, false, updates); };
  handlers.destroyed = [] { EndProgram(0); };
  handlers.send = [&] { PressSend(*window, boxes, Program()); };
  handlers.copy = [&](EditBox box) { PressCopy(*window, box, clipboard, boxes); };
  handlers.clear = [&] { PressClear(*window); };
  MainWindow mainWindow(std::move(handlers));
  window = &mainWindow;

  InstallQtEventPump();
  mainWindow.Load();
  if (options.onShown) options.onShown(mainWindow);
  return application.exec();
}

}  // namespace pakeno
