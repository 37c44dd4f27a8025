#pragma once

// The window's controls as both windows (Qt and Win32) must lay them out at
// 100 %: name, kind, the group box that holds it, rectangle, caption.

namespace pakeno::testing {

enum class ControlKind { kLabel, kEdit, kGroup, kRadio, kPush };

struct ControlRow {
  const char* name;
  ControlKind kind;
  const char* parent;  // "" for the window
  int left, top, width, height;
  const char* caption;  // nullptr: left to the implementer
};

inline constexpr ControlRow kWindowLayout[] = {
    {"透明标签提交地址", ControlKind::kLabel, "", 10, 7, 64, 16, "提交地址："},
    {"编辑框提交地址", ControlKind::kEdit, "", 10, 26, 288, 28, ""},
    {"透明标签提交数据", ControlKind::kLabel, "", 10, 60, 64, 16, "提交数据："},
    {"编辑框提交数据", ControlKind::kEdit, "", 10, 79, 288, 120, ""},
    {"透明标签返回信息", ControlKind::kLabel, "", 10, 206, 64, 16, "返回信息："},
    {"编辑框返回信息", ControlKind::kEdit, "", 10, 226, 287, 152, ""},
    {"分组框地址类型", ControlKind::kGroup, "", 304, 16, 88, 72, "地址类型"},
    {"单选框http", ControlKind::kRadio, "分组框地址类型", 8, 16, 72, 24, "http"},
    {"单选框https", ControlKind::kRadio, "分组框地址类型", 8, 40, 72, 24, "https"},
    {"分组框数据包类型", ControlKind::kGroup, "", 304, 96, 88, 72, "访问类型"},
    {"单选框post", ControlKind::kRadio, "分组框数据包类型", 8, 16, 72, 24, "post"},
    {"单选框get", ControlKind::kRadio, "分组框数据包类型", 8, 40, 72, 24, "get"},
    {"按钮提交", ControlKind::kPush, "", 308, 180, 80, 32, "发送数据包"},
    {"按钮复制提交地址", ControlKind::kPush, "", 308, 221, 80, 32, "复制提交地址"},
    {"按钮复制提交数据", ControlKind::kPush, "", 308, 262, 80, 32, "复制提交数据"},
    {"按钮复制返回信息", ControlKind::kPush, "", 308, 303, 80, 32, "复制返回信息"},
    {"按钮清空", ControlKind::kPush, "", 308, 347, 80, 32, "清空所有数据"},
    {"透明标签1", ControlKind::kLabel, "", 19, 386, 360, 19, nullptr},
};

// The controls that take the focus, in Tab order.
inline constexpr const char* kTabOrder[] = {"编辑框提交地址",   "编辑框提交数据",   "编辑框返回信息",   "按钮提交",
                                            "按钮复制返回信息", "按钮复制提交数据", "按钮复制提交地址", "按钮清空",
                                            "单选框http",       "单选框https",      "单选框post",       "单选框get"};

}  // namespace pakeno::testing
