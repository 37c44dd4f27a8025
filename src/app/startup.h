#pragma once

#include <functional>
#include <string>

namespace pakeno {

class MainWindow;
class MessageBoxes;

struct StartupOptions {
  // Where the update check looks: the page that announces the latest
  // version, and a page that answers whenever the network works.
  std::string updatePageAddress;
  std::string probeAddress;

  // Seams for tests that run the whole program in a child process.
  bool failWindowLoad = false;               // as if the window could not be loaded
  MessageBoxes* messageBoxes = nullptr;      // instead of Qt's message boxes
  std::function<void(MainWindow&)> onShown;  // runs once the window is on the screen
};

// The program: the GUI framework, the session object, the exit routine, the
// window, the message loop. Ends the process when the window is closed.
int RunProgram(int& argc, char** argv, const StartupOptions& options);

}  // namespace pakeno
