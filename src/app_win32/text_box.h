#pragma once

// One EDIT control as the workflows see a box: GBK in, GBK out.
//
// A multi-line EDIT breaks lines at CR LF only, so a written text's lone CRs
// and LFs are shown as CR LF. Until the user edits the box, reading gives
// back exactly the bytes that were written: those the box cannot show as
// they are (bytes that are not GBK, other line breaks) are kept aside.

#include <windows.h>

#include "base/types.h"

namespace pakeno::win32 {

class TextBox {
 public:
  void Attach(HWND edit) { edit_ = edit; }
  HWND Handle() const { return edit_; }

  // False when the control could not take the text: it is empty then.
  bool SetGbkText(const Text& text);
  Text GbkText() const;
  // The EDIT reported a change: one the user made, unless a write is running.
  void Changed();

 private:
  HWND edit_ = nullptr;
  Text written_;
  bool keepsWritten_ = false;
  bool writing_ = false;
};

}  // namespace pakeno::win32
