#pragma once

#include "desktop/clipboard.h"
#include "desktop/message_box.h"
#include "workflows/window_controls.h"

namespace pakeno {

// Empties the address, data and return boxes, in that order, silently, and
// puts the credit line back under the buttons.
void PressClear(WindowControls& window);

// Puts the box's text on the clipboard and confirms it; when the clipboard
// cannot take the text, says so instead.
void PressCopy(WindowControls& window, EditBox box, Clipboard& clipboard, MessageBoxes& boxes);

}  // namespace pakeno
