#pragma once

#include "base/types.h"

namespace pakeno {

enum class MessageIcon { kNone, kWarning, kQuestion, kError };
enum class MessageButtons { kOk, kYesNo };
enum class MessageAnswer { kOk, kYes, kNo };

// A message box without owner window, modal for the whole application: Show
// returns when the user has dismissed it. Texts are GBK.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual MessageAnswer Show(const Text& text, const Text& title, MessageButtons buttons, MessageIcon icon) = 0;
};

}  // namespace pakeno
