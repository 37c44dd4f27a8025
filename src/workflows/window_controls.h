#pragma once

// What the workflows see of the main window: its boxes' texts, its radio
// boxes' states and the line under the buttons, nothing else. Each window
// (Qt, Win32) implements it; tests use a fake.

#include "base/types.h"

namespace pakeno {

enum class EditBox { kAddress, kData, kReturn };
enum class RadioBox { kHttp, kHttps, kPost, kGet };

class WindowControls {
 public:
  virtual ~WindowControls() = default;
  // The box's whole current text, as GBK.
  virtual Text ReadText(EditBox box) = 0;
  // Replaces the box's whole text; the empty text clears it. False when the
  // box could not take the text for want of memory: it is empty then.
  virtual bool WriteText(EditBox box, const Text& text) = 0;
  virtual bool ReadChecked(RadioBox radio) = 0;
  // The line under the buttons: what became of the last request, in the
  // error colour when `error`; the credit line again when `line` is empty.
  // Screen readers read it as the label's name.
  virtual void ShowOutcome(const Text& line, bool error) = 0;
};

}  // namespace pakeno
