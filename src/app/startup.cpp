#include "app/startup.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
#include "app/qt_platform.h"
#include "encoding/gbk.h"
#include "workflows/program_handlers.h"
#include "workflows/program_state.h"

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
  QtBrowser browser;
  ProgramServices services{boxes, clipboard, browser, options.updatePageAddress, options.probeAddress};
  MainWindow mainWindow(ProgramHandlers(services));
  services.window = &mainWindow;

  InstallQtEventPump();
  mainWindow.Load();
  if (options.onShown) options.onShown(mainWindow);
  return application.exec();
}

}  // namespace pakeno
