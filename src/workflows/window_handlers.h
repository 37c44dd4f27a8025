#pragma once

// The window's events, each handed to the handler the start-up gave it.
// Either window (Qt or Win32) raises them; neither has logic of its own.

#include <functional>

#include "workflows/window_controls.h"

namespace pakeno {

struct WindowHandlers {
  std::function<void()> created;    // the window exists and is not shown yet
  std::function<void()> destroyed;  // the window is being destroyed: the user closed it (the program ends here)
  std::function<void()> send;
  std::function<void(EditBox)> copy;
  std::function<void()> clear;
};

}  // namespace pakeno
