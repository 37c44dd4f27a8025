// The Win32 window under Wine: layout at 100 %, 150 % and 200 %, captions,
// keyboard, the boxes' texts, message boxes, the clipboard.

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app_win32/dpi.h"
#include "app_win32/main_window.h"
#include "app_win32/wide_text.h"
#include "app_win32/win32_platform.h"
#include "base/version.h"
#include "encoding/gbk.h"
#include "support/fakes.h"
#include "window_layout/window_layout.h"
#include "workflows/clipboard_commands.h"

namespace pakeno {
namespace {

using win32::MainWindow;
using win32::Utf8ToWide;

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// Holds a key down in the thread's keyboard state while it lives.
class HeldKey {
 public:
  explicit HeldKey(BYTE key) : key_(key) { Set(0x80); }
  ~HeldKey() { Set(0); }

 private:
  void Set(BYTE state) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[key_] = state;
    SetKeyboardState(keys);
  }
  BYTE key_;
};

class Win32Window : public ::testing::Test {
 protected:
  void Open(UINT dpi = 96) {
    WindowHandlers handlers;
    handlers.created = [this] {
      visibleWhenCreated = IsWindowVisible(window->Handle());
      ++created;
    };
    handlers.destroyed = [this] { ++destroyed; };
    handlers.send = [this] { ++sends; };
    handlers.copy = [this](EditBox box) { copied.push_back(box); };
    handlers.clear = [this] { ++clears; };
    window = std::make_unique<MainWindow>(handlers);
    ASSERT_TRUE(window->Create(dpi));
    window->Load();
    Pump();
  }
  void SetUp() override { Open(); }

  HWND Control(const char* name) {
    const HWND control = window->Control(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }

  // A key as the message loop hands it to the window's rules: true when taken.
  bool Press(HWND control, WPARAM key) {
    SetFocus(control);
    const MSG message{control, WM_KEYDOWN, key, 0, 0, {}};
    return window->FilterKey(message);
  }

  // Counts the WM_CLOSE the rules posted, and removes them.
  int ClosesPosted() {
    int closes = 0;
    MSG message;
    while (PeekMessageW(&message, window->Handle(), WM_CLOSE, WM_CLOSE, PM_REMOVE)) ++closes;
    return closes;
  }

  std::unique_ptr<MainWindow> window;
  bool visibleWhenCreated = true;
  int created = 0, destroyed = 0, sends = 0, clears = 0;
  std::vector<EditBox> copied;
};

TEST_F(Win32Window, ControlTableAtEveryScale) {
  const wchar_t* classes[] = {L"Static", L"Edit", L"Edit", L"Button", L"Button", L"Button"};
  const LONG buttonTypes[] = {-1, -1, -1, BS_GROUPBOX, BS_AUTORADIOBUTTON, BS_PUSHBUTTON};
  for (const UINT dpi : {96u, 144u, 192u}) {
    SCOPED_TRACE(dpi);
    Open(dpi);
    for (const ControlPlan& row : kControls) {
      SCOPED_TRACE(row.name);
      const HWND control = Control(row.name);
      ASSERT_NE(control, nullptr);
      EXPECT_EQ(_wcsicmp(ClassOf(control).c_str(), classes[static_cast<int>(row.kind)]), 0);
      const LONG style = GetWindowLongW(control, GWL_STYLE);
      if (buttonTypes[static_cast<int>(row.kind)] >= 0) {
        EXPECT_EQ(style & BS_TYPEMASK, buttonTypes[static_cast<int>(row.kind)]);
      }
      const HWND parent = row.parent >= 0 ? Control(kControls[static_cast<size_t>(row.parent)].name) : window->Handle();
      EXPECT_EQ(GetParent(control), parent);
      RECT rect;
      GetWindowRect(control, &rect);
      MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
      const auto scaled = [dpi](int pixels) { return MulDiv(pixels, static_cast<int>(dpi), 96); };
      EXPECT_EQ(rect.left, scaled(row.left));
      EXPECT_EQ(rect.top, scaled(row.top));
      EXPECT_EQ(rect.right - rect.left, scaled(row.width));
      EXPECT_EQ(rect.bottom - rect.top, scaled(row.height));
      EXPECT_TRUE(IsWindowVisible(control));
      EXPECT_TRUE(IsWindowEnabled(control));
      if (row.kind == ControlKind::kLineBox || row.kind == ControlKind::kMultiLineBox) {
        EXPECT_TRUE(GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
      }
      EXPECT_EQ(TextOf(control), Utf8ToWide(row.caption));
    }
    RECT client;
    GetClientRect(window->Handle(), &client);
    EXPECT_EQ(client.right, MulDiv(399, static_cast<int>(dpi), 96));
    EXPECT_EQ(client.bottom, MulDiv(411, static_cast<int>(dpi), 96));
  }
  const LONG multiLine = GetWindowLongW(Control("编辑框返回信息"), GWL_STYLE);
  EXPECT_TRUE(multiLine & ES_MULTILINE);
  EXPECT_TRUE(multiLine & WS_VSCROLL);
  EXPECT_FALSE(multiLine & (WS_HSCROLL | ES_AUTOHSCROLL | ES_READONLY));  // lines wrap; no box is read-only
  EXPECT_FALSE(GetWindowLongW(Control("编辑框提交地址"), GWL_STYLE) & ES_MULTILINE);
  EXPECT_EQ(SendMessageW(Control("单选框http"), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(Control("单选框https"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_TRUE(window->ReadChecked(RadioBox::kPost));
  EXPECT_FALSE(window->ReadChecked(RadioBox::kGet));
}

TEST_F(Win32Window, TitleFrameAndLoadOrder) {
  EXPECT_EQ(TextOf(window->Handle()), Utf8ToWide(std::string("Pakeno ") + kVersion + " 版 BY：Tarvo"));
  const LONG style = GetWindowLongW(window->Handle(), GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_EQ(created, 1);
  EXPECT_FALSE(visibleWhenCreated);  // the created handler ran before the window was shown
  EXPECT_TRUE(IsWindowVisible(window->Handle()));
  // Centred on the screen.
  RECT outer;
  GetWindowRect(window->Handle(), &outer);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
}

TEST_F(Win32Window, TheCreditLineTellsTheOutcomeAndComesBack) {
  const HWND label = Control("透明标签1");
  // The colour the label is drawn in, as the window hands it out.
  auto colour = [&] {
    const HDC dc = GetDC(label);
    SendMessageW(window->Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label));
    const COLORREF drawn = GetTextColor(dc);
    ReleaseDC(label, dc);
    return drawn;
  };
  const std::wstring credit = TextOf(label);
  EXPECT_EQ(colour(), RGB(0, 136, 255));
  // One line: what does not fit ends in an ellipsis.
  EXPECT_TRUE(GetWindowLongW(label, GWL_STYLE) & SS_ENDELLIPSIS);
  window->ShowOutcome(Gbk("发送失败：无法连接服务器，连接被拒绝"), true);
  EXPECT_EQ(TextOf(label), Utf8ToWide("发送失败：无法连接服务器，连接被拒绝"));  // also its accessible name
  EXPECT_EQ(colour(), RGB(204, 0, 0));
  window->ShowOutcome(Gbk("200 OK · 5 字节 · 3 毫秒"), false);
  EXPECT_EQ(colour(), RGB(0, 136, 255));
  window->ShowOutcome({}, false);
  EXPECT_EQ(TextOf(label), credit);
}

// Windows 7 has no GetDpiForSystem: the DPI read another way is the same.
TEST(Win32Dpi, TheFallbackFindsTheSystemsDpi) { EXPECT_EQ(win32::ScreenDpi(), GetDpiForSystem()); }

TEST_F(Win32Window, TabCycleRunsThroughTwelveStopsBothWays) {
  const auto order = [](size_t i) { return kControls[IndexOf(kTabCycle[i])].name; };
  SetFocus(Control(order(0)));
  for (int i = 1; i <= 12; ++i) {
    EXPECT_TRUE(Press(GetFocus(), VK_TAB));
    EXPECT_EQ(GetFocus(), Control(order(i % 12))) << "after Tab " << i;
  }
  {
    HeldKey shift(VK_SHIFT);
    for (int i = 11; i >= 0; --i) {
      EXPECT_TRUE(Press(GetFocus(), VK_TAB));
      EXPECT_EQ(GetFocus(), Control(order(i))) << "after Shift+Tab to " << i;
    }
  }
  EXPECT_EQ(window->ReadText(EditBox::kData), "");  // no tab character went in
}

TEST_F(Win32Window, EscClosesEnterAndF1DoNothing) {
  for (const HWND control : window->TabCycle()) {
    EXPECT_TRUE(Press(control, VK_ESCAPE));
    EXPECT_EQ(ClosesPosted(), 1);
    const bool multiLine = control == Control("编辑框提交数据") || control == Control("编辑框返回信息");
    EXPECT_EQ(Press(control, VK_RETURN), !multiLine);  // a new line in a multi-line box; nothing elsewhere
    EXPECT_EQ(GetFocus(), control);
    EXPECT_TRUE(Press(control, VK_F1));
  }
  {
    HeldKey shift(VK_SHIFT);
    EXPECT_FALSE(Press(window->TabCycle()[0], VK_ESCAPE));  // only a plain Esc closes
  }
  EXPECT_EQ(ClosesPosted(), 0);
  SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(destroyed, 1);  // closing destroys the window, which ends the program
  EXPECT_EQ(sends + clears, 0);
}

TEST_F(Win32Window, ArrowKeysMoveWithinARadioPair) {
  const HWND http = Control("单选框http"), https = Control("单选框https");
  EXPECT_TRUE(Press(http, VK_DOWN));
  EXPECT_EQ(GetFocus(), https);
  EXPECT_TRUE(window->ReadChecked(RadioBox::kHttps));
  EXPECT_FALSE(window->ReadChecked(RadioBox::kHttp));
  EXPECT_TRUE(window->ReadChecked(RadioBox::kPost));  // the other pair is untouched
  EXPECT_TRUE(Press(https, VK_LEFT));
  EXPECT_TRUE(window->ReadChecked(RadioBox::kHttp));
  EXPECT_TRUE(Press(Control("单选框post"), VK_RIGHT));
  EXPECT_TRUE(window->ReadChecked(RadioBox::kGet));
  EXPECT_FALSE(Press(Control("编辑框提交数据"), VK_DOWN));  // an ordinary key elsewhere
  SendMessageW(http, BM_CLICK, 0, 0);
  EXPECT_TRUE(window->ReadChecked(RadioBox::kHttp));
  EXPECT_FALSE(window->ReadChecked(RadioBox::kHttps));
}

TEST_F(Win32Window, BoxesKeepWhatWasWrittenUntilEdited) {
  const struct {
    Text written;
    const wchar_t* shown;
  } cases[] = {
      {"a=1&b=2", L"a=1&b=2"},
      {"\xD6\xD0\xCE\xC4", L"中文"},
      {"\xD6\xD0\xFF", L"中\xFFFD"},  // not GBK
      {"1\n2\r3\r\n4", L"1\r\n2\r\n3\r\n4"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.written);
    for (const EditBox box : {EditBox::kData, EditBox::kReturn}) {
      ASSERT_TRUE(window->WriteText(box, c.written));
      EXPECT_EQ(window->ReadText(box), c.written);
    }
    EXPECT_EQ(TextOf(Control("编辑框返回信息")), c.shown);
  }
  // Longer than an EDIT takes by default (30,000 characters).
  const Text address = "http://srv/?" + Text(40'000, 'a');
  ASSERT_TRUE(window->WriteText(EditBox::kAddress, address));
  EXPECT_EQ(window->ReadText(EditBox::kAddress), address);
  // A change the user makes: the box's text as it shows, line breaks CR LF.
  const HWND data = Control("编辑框提交数据");
  window->WriteText(EditBox::kData, "x\ny");
  SendMessageW(data, EM_SETSEL, 0, 0);
  SendMessageW(data, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"名"));
  EXPECT_EQ(window->ReadText(EditBox::kData), "\xC3\xFBx\r\ny");
  window->WriteText(EditBox::kAddress, {});
  EXPECT_EQ(window->ReadText(EditBox::kAddress), "");
}

TEST_F(Win32Window, ButtonsReachTheirHandlers) {
  for (const char* name : {"按钮提交", "按钮复制提交地址", "按钮复制提交数据", "按钮复制返回信息", "按钮清空"}) {
    SendMessageW(Control(name), BM_CLICK, 0, 0);
  }
  EXPECT_EQ(sends, 1);
  EXPECT_EQ(copied, (std::vector<EditBox>{EditBox::kAddress, EditBox::kData, EditBox::kReturn}));
  EXPECT_EQ(clears, 1);
}

TEST_F(Win32Window, CopyPutsUnicodeAndCodePage936OnTheClipboard) {
  const struct {
    Text box;
    std::wstring unicode;
    std::string ansi;
  } cases[] = {
      {"user=\xD5\xC5\xC8\xFD\nok", L"user=张三\r\nok", "user=\xD5\xC5\xC8\xFD\r\nok"},
      // A UTF-8 page as the box shows it: bytes that are not GBK as U+FFFD.
      {"\xE4\xB8\xAD\xE6\xFF", L"涓\xE15F\xFFFD", "\xE4\xB8\xAD\xE6?"},
  };
  win32::Win32Clipboard clipboard([this] { return window->Handle(); });
  for (const auto& c : cases) {
    window->WriteText(EditBox::kReturn, c.box);
    testing::FakeMessageBoxes boxes;
    PressCopy(*window, EditBox::kReturn, clipboard, boxes);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Gbk("已复制到剪贴板，可粘贴使用。"));
    ASSERT_TRUE(OpenClipboard(nullptr));
    const auto* unicode = static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)));
    const auto* ansi = static_cast<const char*>(GlobalLock(GetClipboardData(CF_TEXT)));
    EXPECT_EQ(unicode ? std::wstring(unicode) : L"", c.unicode);
    EXPECT_EQ(ansi ? std::string(ansi) : "", c.ansi);
    CloseClipboard();
  }
}

TEST(Win32Browser, OpensWebAddressesOnly) {
  std::vector<std::wstring> handed;  // what would have gone to the shell
  win32::Win32Browser browser([&](const std::wstring& address) { handed.push_back(address); });
  browser.Open("http://example.cn/pakeno.zip");
  browser.Open("HTTPS://example.cn/\xD6\xD0");  // GB18030, as the update page gave it
  for (const char* other : {"C:\\Windows\\System32\\calc.exe", "file:///C:/x.exe", "\\\\server\\share\\x.exe",
                            "mailto:a@b.cn", "javascript:alert(1)", " http://a/", "httpx://a/", ""}) {
    browser.Open(other);
  }
  EXPECT_EQ(handed, (std::vector<std::wstring>{L"http://example.cn/pakeno.zip", L"HTTPS://example.cn/\u4E2D"}));
}

// The captions of the box on the screen, read from inside its own loop, and
// the key given to it.
std::vector<std::wstring> captions;
WPARAM answerKey = 0;

void CALLBACK ReadAndAnswer(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  const HWND box = GetActiveWindow();
  for (const int id : {IDOK, IDYES, IDNO}) {
    if (const HWND button = GetDlgItem(box, id)) captions.push_back(TextOf(button));
  }
  PostMessageW(GetFocus(), WM_KEYDOWN, answerKey, 0);
  PostMessageW(GetFocus(), WM_CHAR, answerKey == VK_RETURN ? L'\r' : towlower(static_cast<wint_t>(answerKey)), 0);
}

TEST(Win32MessageBoxes, ChineseButtonsWhateverTheLanguageAndTheirKeys) {
  const std::vector<std::wstring> ok{L"确定"}, yesNo{L"是(&Y)", L"否(&N)"};
  const struct {
    MessageButtons buttons;
    WPARAM key;
    std::vector<std::wstring> captions;
    MessageAnswer expected;
  } cases[] = {
      {MessageButtons::kOk, VK_RETURN, ok, MessageAnswer::kOk},
      {MessageButtons::kYesNo, 'Y', yesNo, MessageAnswer::kYes},
      {MessageButtons::kYesNo, 'N', yesNo, MessageAnswer::kNo},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    captions.clear();
    answerKey = c.key;
    SetTimer(nullptr, 0, 100, ReadAndAnswer);
    EXPECT_EQ(win32::Win32MessageBoxes().Show(Gbk("问题"), Gbk("信息："), c.buttons, MessageIcon::kQuestion),
              c.expected);
    EXPECT_EQ(captions, c.captions);
  }
}

}  // namespace
}  // namespace pakeno
