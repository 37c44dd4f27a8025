#pragma once

#include "platform/types.h"

namespace pakeno {

// The system clipboard, holding plain text. Texts are GBK.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Replaces the clipboard's content with `text`.
  virtual void SetText(const Text& text) = 0;
  // The plain text the clipboard holds now; empty when it holds none.
  virtual Text GetText() = 0;
};

}  // namespace pakeno
