#include "window_layout/window_layout.h"

#include <gtest/gtest.h>

#include <set>

namespace pakeno {
namespace {

TEST(WindowLayout, KeyRules) {
  const Modifiers none, ctrl{true, false, false}, shift{false, true, false}, alt{false, false, true};
  const struct {
    Key key;
    Modifiers modifiers;
    ControlKind focused;
    KeyAction action;
  } cases[] = {
      {Key::kEscape, none, ControlKind::kPush, KeyAction::kClose},
      {Key::kEscape, none, ControlKind::kMultiLineBox, KeyAction::kClose},
      {Key::kEscape, ctrl, ControlKind::kPush, KeyAction::kPass},
      {Key::kTab, none, ControlKind::kMultiLineBox, KeyAction::kFocusNext},  // never a tab character
      {Key::kTab, shift, ControlKind::kRadio, KeyAction::kFocusPrevious},
      {Key::kTab, ctrl, ControlKind::kLineBox, KeyAction::kSwallow},
      {Key::kTab, alt, ControlKind::kLineBox, KeyAction::kSwallow},
      {Key::kEnter, none, ControlKind::kMultiLineBox, KeyAction::kPass},  // a new line
      {Key::kEnter, none, ControlKind::kLineBox, KeyAction::kSwallow},    // never sends
      {Key::kEnter, none, ControlKind::kPush, KeyAction::kSwallow},
      {Key::kF1, none, ControlKind::kLineBox, KeyAction::kSwallow},
      {Key::kArrow, none, ControlKind::kRadio, KeyAction::kCheckOther},
      {Key::kArrow, shift, ControlKind::kRadio, KeyAction::kPass},
      {Key::kArrow, none, ControlKind::kMultiLineBox, KeyAction::kPass},
      {Key::kA, ctrl, ControlKind::kLineBox, KeyAction::kSelectAll},
      {Key::kA, none, ControlKind::kMultiLineBox, KeyAction::kPass},
      {Key::kA, ctrl, ControlKind::kPush, KeyAction::kPass},
      {Key::kOther, none, ControlKind::kLineBox, KeyAction::kPass},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KeyActionFor(c.key, c.modifiers, c.focused), c.action)
        << static_cast<int>(c.key) << " on " << static_cast<int>(c.focused);
  }
}

TEST(WindowLayout, PairsAndTheTabCycleHoldTogether) {
  std::set<Role> stops(kTabCycle.begin(), kTabCycle.end());
  EXPECT_EQ(stops.size(), kTabCycle.size());
  for (const Role role : kTabCycle) {
    const ControlPlan& control = kControls[IndexOf(role)];
    EXPECT_NE(control.kind, ControlKind::kLabel) << control.name;
    EXPECT_NE(control.kind, ControlKind::kGroup) << control.name;
    if (control.kind != ControlKind::kRadio) continue;
    // The pair shares its group box, and exactly one of it is checked at start.
    const ControlPlan& other = kControls[IndexOf(OtherOfPair(role))];
    EXPECT_EQ(other.parent, control.parent) << control.name;
    EXPECT_EQ(kControls[static_cast<size_t>(control.parent)].kind, ControlKind::kGroup) << control.name;
    EXPECT_NE(other.checked, control.checked) << control.name;
  }
}

}  // namespace
}  // namespace pakeno
