#include "window_layout/window_layout.h"

namespace pakeno {

Role OtherOfPair(Role radio) {
  switch (radio) {
    case Role::kHttp:
      return Role::kHttps;
    case Role::kHttps:
      return Role::kHttp;
    case Role::kPost:
      return Role::kGet;
    case Role::kGet:
      return Role::kPost;
    default:
      return radio;
  }
}

KeyAction KeyActionFor(Key key, Modifiers modifiers, ControlKind focused) {
  const bool plain = !modifiers.ctrl && !modifiers.shift && !modifiers.alt;
  const bool box = focused == ControlKind::kLineBox || focused == ControlKind::kMultiLineBox;
  switch (key) {
    case Key::kEscape:
      // No control claims a plain Esc: it closes the window from anywhere.
      return plain ? KeyAction::kClose : KeyAction::kPass;
    case Key::kTab:
      // Never a tab character in a box; Ctrl+Tab and Alt+Tab are the system's.
      if (modifiers.ctrl || modifiers.alt) return KeyAction::kSwallow;
      return modifiers.shift ? KeyAction::kFocusPrevious : KeyAction::kFocusNext;
    case Key::kEnter:
      // A new line in a multi-line box; it never sends and never moves the focus.
      return focused == ControlKind::kMultiLineBox ? KeyAction::kPass : KeyAction::kSwallow;
    case Key::kF1:
      return KeyAction::kSwallow;
    case Key::kArrow:
      return plain && focused == ControlKind::kRadio ? KeyAction::kCheckOther : KeyAction::kPass;
    case Key::kA:
      return box && modifiers.ctrl && !modifiers.shift && !modifiers.alt ? KeyAction::kSelectAll : KeyAction::kPass;
    case Key::kOther:
      break;
  }
  return KeyAction::kPass;
}

}  // namespace pakeno
