#pragma once

// What the workflows see of the main window: its boxes' texts and its radio
// boxes' states, nothing else. The Qt window implements it; tests use a fake.

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
};

}  // namespace pakeno
