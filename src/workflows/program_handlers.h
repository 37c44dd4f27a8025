#pragma once

// The window's events as the program answers them, the same for every
// window: the update check when it is created, the end of the program when
// it is destroyed, and the buttons' workflows.

#include <string>

#include "desktop/browser.h"
#include "desktop/clipboard.h"
#include "desktop/message_box.h"
#include "workflows/window_handlers.h"

namespace pakeno {

struct ProgramServices {
  MessageBoxes& boxes;
  Clipboard& clipboard;
  Browser& browser;
  std::string updatePageAddress;
  std::string probeAddress;
  WindowControls* window = nullptr;  // set once the window exists, before any event
};

// The handlers refer to `services`, which must outlive the window.
WindowHandlers ProgramHandlers(ProgramServices& services);

}  // namespace pakeno
