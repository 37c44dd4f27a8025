#pragma once

// The platform interfaces as Win32 provides them, and the message loop.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "desktop/browser.h"
#include "desktop/clipboard.h"
#include "desktop/message_box.h"

namespace pakeno::win32 {

class MainWindow;

// MessageBoxW without owner, task-modal; its buttons renamed to the tool's
// Chinese captions whatever the system's language.
class Win32MessageBoxes : public MessageBoxes {
 public:
  MessageAnswer Show(const Text& text, const Text& title, MessageButtons buttons, MessageIcon icon) override;
};

// CF_UNICODETEXT, and CF_TEXT in code page 936, with CR LF line breaks.
class Win32Clipboard : public Clipboard {
 public:
  // The clipboard takes text only from an owner window: the one `owner` names.
  explicit Win32Clipboard(std::function<HWND()> owner) : owner_(std::move(owner)) {}
  bool SetText(const Text& text) override;

 private:
  std::function<HWND()> owner_;
};

// True for an http or https address: anything else ShellExecuteW would run
// or open as a file.
bool IsWebAddress(std::string_view utf8);

// ShellExecuteW "open", for web addresses only.
class Win32Browser : public Browser {
 public:
  // What hands an address to the shell; ShellOpen unless a test records it.
  using Shell = std::function<void(const std::wstring& address)>;
  explicit Win32Browser(Shell shell = ShellOpen) : shell_(std::move(shell)) {}
  void Open(const Text& address) override;

  // ShellExecuteW "open", with COM set up around it.
  static void ShellOpen(const std::wstring& address);

 private:
  Shell shell_;
};

// Runs the thread's messages through the window's keyboard rules until a
// WM_QUIT; gives its exit code.
int RunMessageLoop(MainWindow& window);
// Lets the window's pending messages run from inside a request's read loop.
void InstallWin32EventPump(MainWindow& window);

// A GUI program gets no console: failure lines go to standard error only
// when it was redirected or the program was started from a console.
void AttachStandardError();

}  // namespace pakeno::win32
