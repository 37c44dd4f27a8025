#pragma once

// The main window as both windows (Qt and Win32) build it and the tests
// read it: every control's name, kind, parent, rectangle at 96 DPI and
// caption; the Tab cycle; the keyboard's rules. Data, with no toolkit.

#include <array>
#include <cstddef>
#include <string_view>

namespace pakeno {

inline constexpr int kClientWidth = 399;  // at 96 DPI
inline constexpr int kClientHeight = 411;

// The title, around the version: "Pakeno " VERSION " 版 BY：Tarvo".
inline constexpr std::string_view kTitleBeforeVersion = "Pakeno ";
inline constexpr std::string_view kTitleAfterVersion = " 版 BY：Tarvo";
inline constexpr char kCreditLine[] = "Pakeno 作者：Tarvo　反馈交流群： QQ 群 100100100";

enum class ControlKind { kLabel, kLineBox, kMultiLineBox, kGroup, kRadio, kPush };

// What a control is for, so each window finds its own without its name.
enum class Role {
  kCaption,
  kAddressBox,
  kDataBox,
  kReturnBox,
  kAddressType,
  kHttp,
  kHttps,
  kAccessType,
  kPost,
  kGet,
  kSend,
  kCopyAddress,
  kCopyData,
  kCopyReturn,
  kClear,
  kOutcome,  // the credit line, and after a request its outcome
};

struct ControlPlan {
  const char* name;  // the control's object name
  ControlKind kind;
  Role role;
  int parent;                    // index of the group box that holds it; -1: the window
  int left, top, width, height;  // at 96 DPI, relative to the parent
  const char* caption;           // UTF-8
  bool checked;                  // a radio box's state at start
};

inline constexpr std::array<ControlPlan, 18> kControls{{
    {"透明标签提交地址", ControlKind::kLabel, Role::kCaption, -1, 10, 7, 64, 16, "提交地址：", false},
    {"编辑框提交地址", ControlKind::kLineBox, Role::kAddressBox, -1, 10, 26, 288, 28, "", false},
    {"透明标签提交数据", ControlKind::kLabel, Role::kCaption, -1, 10, 60, 64, 16, "提交数据：", false},
    {"编辑框提交数据", ControlKind::kMultiLineBox, Role::kDataBox, -1, 10, 79, 288, 120, "", false},
    {"透明标签返回信息", ControlKind::kLabel, Role::kCaption, -1, 10, 206, 64, 16, "返回信息：", false},
    {"编辑框返回信息", ControlKind::kMultiLineBox, Role::kReturnBox, -1, 10, 226, 287, 152, "", false},
    {"分组框地址类型", ControlKind::kGroup, Role::kAddressType, -1, 304, 16, 88, 72, "地址类型", false},
    {"单选框http", ControlKind::kRadio, Role::kHttp, 6, 8, 16, 72, 24, "http", true},
    {"单选框https", ControlKind::kRadio, Role::kHttps, 6, 8, 40, 72, 24, "https", false},
    {"分组框数据包类型", ControlKind::kGroup, Role::kAccessType, -1, 304, 96, 88, 72, "访问类型", false},
    {"单选框post", ControlKind::kRadio, Role::kPost, 9, 8, 16, 72, 24, "post", true},
    {"单选框get", ControlKind::kRadio, Role::kGet, 9, 8, 40, 72, 24, "get", false},
    {"按钮提交", ControlKind::kPush, Role::kSend, -1, 308, 180, 80, 32, "发送数据包", false},
    {"按钮复制提交地址", ControlKind::kPush, Role::kCopyAddress, -1, 308, 221, 80, 32, "复制提交地址", false},
    {"按钮复制提交数据", ControlKind::kPush, Role::kCopyData, -1, 308, 262, 80, 32, "复制提交数据", false},
    {"按钮复制返回信息", ControlKind::kPush, Role::kCopyReturn, -1, 308, 303, 80, 32, "复制返回信息", false},
    {"按钮清空", ControlKind::kPush, Role::kClear, -1, 308, 347, 80, 32, "清空所有数据", false},
    {"透明标签1", ControlKind::kLabel, Role::kOutcome, -1, 19, 386, 360, 19, kCreditLine, false},
}};

// The index in kControls of the control with this role (the first, for a caption).
constexpr size_t IndexOf(Role role) {
  for (size_t i = 0; i < kControls.size(); ++i) {
    if (kControls[i].role == role) return i;
  }
  return kControls.size();
}

// The controls that take the focus, in Tab order; Shift+Tab goes back, and
// both wrap.
inline constexpr std::array<Role, 12> kTabCycle{Role::kAddressBox, Role::kDataBox,  Role::kReturnBox,   Role::kSend,
                                                Role::kCopyReturn, Role::kCopyData, Role::kCopyAddress, Role::kClear,
                                                Role::kHttp,       Role::kHttps,    Role::kPost,        Role::kGet};

// The other radio box of the same group box; the role itself for any other control.
Role OtherOfPair(Role radio);

// The keys the window has rules for, whichever control has the focus.
enum class Key { kEscape, kTab, kEnter, kF1, kArrow, kA, kOther };
struct Modifiers {
  bool ctrl = false, shift = false, alt = false;
};
enum class KeyAction {
  kPass,           // the control's own meaning
  kSwallow,        // nothing at all
  kClose,          // close the window
  kFocusNext,      // the next stop of the Tab cycle
  kFocusPrevious,  // the one before
  kCheckOther,     // focus and check the other radio box of the pair
  kSelectAll,      // all of the box's text
};
KeyAction KeyActionFor(Key key, Modifiers modifiers, ControlKind focused);

}  // namespace pakeno
