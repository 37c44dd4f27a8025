#pragma once

// The platform interfaces as the Qt window provides them.

#include "desktop/browser.h"
#include "desktop/clipboard.h"
#include "desktop/message_box.h"

namespace pakeno {

class QtMessageBoxes : public MessageBoxes {
 public:
  MessageAnswer Show(const Text& text, const Text& title, MessageButtons buttons, MessageIcon icon) override;
};

class QtClipboard : public Clipboard {
 public:
  bool SetText(const Text& text) override;
};

class QtBrowser : public Browser {
 public:
  void Open(const Text& address) override;
};

// Lets the window's pending events run from inside a request's read loop.
void InstallQtEventPump();

}  // namespace pakeno
