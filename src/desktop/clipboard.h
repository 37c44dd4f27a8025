#pragma once

#include "base/types.h"

namespace pakeno {

// The system clipboard, holding plain text.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Replaces the clipboard's content with `text` (GBK, as a box shows it:
  // bytes that are not GBK show as U+FFFD, line breaks in the desktop's own
  // form). False when the clipboard does not hold that text afterwards.
  virtual bool SetText(const Text& text) = 0;
};

}  // namespace pakeno
