#pragma once

#include <functional>

namespace pakeno {

class MainWindow;
class MessageBoxes;

// Seams for tests that run the whole program in a child process.
struct StartupOptions {
  bool failWindowLoad = false;                  // as if the window could not be loaded
  MessageBoxes* messageBoxes = nullptr;         // instead of Qt's message boxes
  std::function<void(MainWindow&)> onShown;     // runs once the window is on the screen
};

// The program: the GUI framework, the session object, the exit routine, the
// window, the message loop. Ends the process when the window is closed.
int RunProgram(int& argc, char** argv, const StartupOptions& options = {});

}  // namespace pakeno
