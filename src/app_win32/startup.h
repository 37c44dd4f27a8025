#pragma once

// The program on Windows: the same start-up order and exit routine as the
// Qt build, with the Win32 window and services.

#include <windows.h>

#include <functional>
#include <string>

namespace pakeno {

class MessageBoxes;
namespace win32 {
class MainWindow;
}

struct StartupOptions {
  // Where the update check looks: the page that announces the latest
  // version, and a page that answers whenever the network works.
  std::string updatePageAddress;
  std::string probeAddress;

  // Seams for tests that run the whole program in a child process.
  bool failWindowLoad = false;                      // as if the window could not be loaded
  MessageBoxes* messageBoxes = nullptr;             // instead of the system's message boxes
  std::function<void(win32::MainWindow&)> onShown;  // runs once the window is on the screen
};

// The GUI framework, the session object, the exit routine, the window, the
// message loop. Ends the process when the window is closed.
// The arguments are not used: as the Qt build's, for the same callers.
int RunProgram(int& argc, char** argv, const StartupOptions& options);

}  // namespace pakeno
