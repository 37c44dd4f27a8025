#include "app_win32/main_window.h"

#include <algorithm>
#include <string>

#include "app_win32/wide_text.h"
#include "base/version.h"

namespace pakeno::win32 {
namespace {

// The client area is 399 x 411 pixels at 96 DPI; the outer size follows
// from the system's frame and title bar.
constexpr int kClientWidth = 399;
constexpr int kClientHeight = 411;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr wchar_t kClassName[] = L"PakenoMainWindow";
constexpr COLORREF kCreditColour = RGB(0, 136, 255);
constexpr COLORREF kErrorColour = RGB(204, 0, 0);
constexpr char kCreditLine[] = "Pakeno 作者：Tarvo　反馈交流群： QQ 群 100100100";

enum CommandId : int {
  kSend = 101,
  kCopyAddress,
  kCopyData,
  kCopyReturn,
  kClear,
  kAddressBox = 201,
  kDataBox,
  kReturnBox,
};

constexpr DWORD kLabel = SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX;
constexpr DWORD kEdit = WS_TABSTOP | ES_LEFT;
constexpr DWORD kMultiLine = kEdit | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL;
constexpr DWORD kRadio = WS_TABSTOP | BS_AUTORADIOBUTTON | BS_MULTILINE;
constexpr DWORD kPush = WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE;

struct ControlLayout {
  const char* name;
  const wchar_t* windowClass;
  DWORD style;
  int parent;  // index of the group box that holds it; -1: the window
  int left, top, width, height;
  const char* caption;  // UTF-8
  int id;
};

// As the Qt window lays them out; a radio box stands in its group box.
constexpr ControlLayout kControls[] = {
    {"透明标签提交地址", L"STATIC", kLabel, -1, 10, 7, 64, 16, "提交地址：", 0},
    {"编辑框提交地址", L"EDIT", kEdit | ES_AUTOHSCROLL, -1, 10, 26, 288, 28, "", kAddressBox},
    {"透明标签提交数据", L"STATIC", kLabel, -1, 10, 60, 64, 16, "提交数据：", 0},
    {"编辑框提交数据", L"EDIT", kMultiLine, -1, 10, 79, 288, 120, "", kDataBox},
    {"透明标签返回信息", L"STATIC", kLabel, -1, 10, 206, 64, 16, "返回信息：", 0},
    {"编辑框返回信息", L"EDIT", kMultiLine, -1, 10, 226, 287, 152, "", kReturnBox},
    {"分组框地址类型", L"BUTTON", BS_GROUPBOX, -1, 304, 16, 88, 72, "地址类型", 0},
    {"单选框http", L"BUTTON", kRadio | WS_GROUP, 6, 8, 16, 72, 24, "http", 0},
    {"单选框https", L"BUTTON", kRadio, 6, 8, 40, 72, 24, "https", 0},
    {"分组框数据包类型", L"BUTTON", BS_GROUPBOX, -1, 304, 96, 88, 72, "访问类型", 0},
    {"单选框post", L"BUTTON", kRadio | WS_GROUP, 9, 8, 16, 72, 24, "post", 0},
    {"单选框get", L"BUTTON", kRadio, 9, 8, 40, 72, 24, "get", 0},
    {"按钮提交", L"BUTTON", kPush, -1, 308, 180, 80, 32, "发送数据包", kSend},
    {"按钮复制提交地址", L"BUTTON", kPush, -1, 308, 221, 80, 32, "复制提交地址", kCopyAddress},
    {"按钮复制提交数据", L"BUTTON", kPush, -1, 308, 262, 80, 32, "复制提交数据", kCopyData},
    {"按钮复制返回信息", L"BUTTON", kPush, -1, 308, 303, 80, 32, "复制返回信息", kCopyReturn},
    {"按钮清空", L"BUTTON", kPush, -1, 308, 347, 80, 32, "清空所有数据", kClear},
    // One line whatever the font and scale: an outcome that does not fit ends in an ellipsis.
    {"透明标签1", L"STATIC", SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX | SS_ENDELLIPSIS, -1, 19, 386, 360, 19,
     kCreditLine, 0},
};
static_assert(std::size(kControls) == 18);
constexpr int kHttp = 7, kHttps = 8, kPost = 10, kGet = 11, kCredit = 17;

int Scale(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }

bool Down(int key) { return (GetKeyState(key) & 0x8000) != 0; }

}  // namespace

MainWindow::MainWindow(WindowHandlers handlers) : handlers_(std::move(handlers)) {}

MainWindow::~MainWindow() {
  if (window_) {
    // Destroyed by its owner, not closed by the user: no handler runs.
    handlers_ = {};
    DestroyWindow(window_);
  }
  if (font_) DeleteObject(font_);
}

bool MainWindow::Create(UINT dpi) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  if (!GetClassInfoExW(instance, kClassName, &windowClass)) {
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kClassName;
    windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(
        instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    if (!RegisterClassExW(&windowClass)) return false;
  }
  dpi_ = dpi ? dpi : GetDpiForSystem();
  background_ = GetSysColorBrush(COLOR_BTNFACE);
  const std::wstring title = Utf8ToWide(std::string("Pakeno ") + kVersion + " 版 BY：Tarvo");
  window_ = CreateWindowExW(0, kClassName, title.c_str(), kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr,
                            nullptr, instance, this);
  if (!window_) return false;
  BuildControls();
  Layout(dpi_);
  return std::all_of(controls_.begin(), controls_.end(), [](HWND control) { return control != nullptr; });
}

void MainWindow::BuildControls() {
  for (size_t i = 0; i < std::size(kControls); ++i) {
    const ControlLayout& control = kControls[i];
    const HWND parent = control.parent < 0 ? window_ : controls_[static_cast<size_t>(control.parent)];
    const std::wstring caption = Utf8ToWide(control.caption);
    const DWORD extended = control.windowClass == std::wstring_view(L"EDIT") ? WS_EX_CLIENTEDGE : 0;
    controls_[i] = CreateWindowExW(
        extended, control.windowClass, caption.c_str(), WS_CHILD | WS_VISIBLE | control.style, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), GetModuleHandleW(nullptr), nullptr);
    // No length limit but the system's.
    if (control.id >= kAddressBox) SendMessageW(controls_[i], EM_SETLIMITTEXT, 0, 0);
  }
  address_.Attach(Control("编辑框提交地址"));
  data_.Attach(Control("编辑框提交数据"));
  return_.Attach(Control("编辑框返回信息"));
  SendMessageW(controls_[kHttp], BM_SETCHECK, BST_CHECKED, 0);
  SendMessageW(controls_[kPost], BM_SETCHECK, BST_CHECKED, 0);
  const char* cycle[] = {"编辑框提交地址",   "编辑框提交数据",   "编辑框返回信息",   "按钮提交",
                         "按钮复制返回信息", "按钮复制提交数据", "按钮复制提交地址", "按钮清空",
                         "单选框http",       "单选框https",      "单选框post",       "单选框get"};
  std::transform(std::begin(cycle), std::end(cycle), tabCycle_.begin(),
                 [this](const char* name) { return Control(name); });
}

void MainWindow::Layout(UINT dpi) {
  dpi_ = dpi;
  // The default GUI font, made for the system's DPI, at this window's.
  LOGFONTW font{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(GetDpiForSystem()));
  const HFONT previous = font_;
  font_ = CreateFontIndirectW(&font);
  for (size_t i = 0; i < std::size(kControls); ++i) {
    const ControlLayout& control = kControls[i];
    MoveWindow(controls_[i], Scale(control.left, dpi), Scale(control.top, dpi), Scale(control.width, dpi),
               Scale(control.height, dpi), FALSE);
    SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
  // Redrawn once, whole, rather than control by control.
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  if (previous) DeleteObject(previous);
  // The frame as the system draws it, whatever DPI it was made for.
  RECT outer, client;
  GetWindowRect(window_, &outer);
  GetClientRect(window_, &client);
  SetWindowPos(window_, nullptr, 0, 0, Scale(kClientWidth, dpi) + (outer.right - outer.left) - client.right,
               Scale(kClientHeight, dpi) + (outer.bottom - outer.top) - client.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::Load() {
  RECT outer{};
  GetWindowRect(window_, &outer);
  const int width = outer.right - outer.left, height = outer.bottom - outer.top;
  SetWindowPos(window_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (handlers_.created) handlers_.created();
  // Painted by the message loop, as every later change is.
  ShowWindow(window_, SW_SHOWNORMAL);
}

HWND MainWindow::Control(std::string_view name) const {
  for (size_t i = 0; i < std::size(kControls); ++i) {
    if (name == kControls[i].name) return controls_[i];
  }
  return nullptr;
}

TextBox& MainWindow::Box(EditBox box) {
  return box == EditBox::kAddress ? address_ : box == EditBox::kData ? data_ : return_;
}

Text MainWindow::ReadText(EditBox box) { return Box(box).GbkText(); }

bool MainWindow::WriteText(EditBox box, const Text& text) { return Box(box).SetGbkText(text); }

bool MainWindow::ReadChecked(RadioBox radio) {
  const int index = radio == RadioBox::kHttp    ? kHttp
                    : radio == RadioBox::kHttps ? kHttps
                    : radio == RadioBox::kPost  ? kPost
                                                : kGet;
  return SendMessageW(controls_[static_cast<size_t>(index)], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::ShowOutcome(const Text& line, bool error) {
  // The label's text is its name for a screen reader.
  const std::wstring text = line.empty() ? Utf8ToWide(kCreditLine) : GbkToWide(line);
  outcomeColour_ = error ? kErrorColour : kCreditColour;
  SetWindowTextW(controls_[kCredit], text.c_str());
  InvalidateRect(controls_[kCredit], nullptr, TRUE);
}

void MainWindow::MoveFocus(HWND from, bool forward) {
  const auto it = std::find(tabCycle_.begin(), tabCycle_.end(), from);
  if (it == tabCycle_.end()) return;
  const size_t index = static_cast<size_t>(it - tabCycle_.begin());
  const size_t n = tabCycle_.size();
  const HWND next = tabCycle_[forward ? (index + 1) % n : (index + n - 1) % n];
  SetFocus(next);
  // An edit box reached by the keyboard shows its whole text selected, as a dialog's does.
  if (std::find(tabCycle_.begin(), tabCycle_.begin() + 3, next) != tabCycle_.begin() + 3) {
    SendMessageW(next, EM_SETSEL, 0, -1);
  }
}

bool MainWindow::FilterKey(const MSG& message) {
  if (message.message != WM_KEYDOWN && message.message != WM_CHAR) return false;
  if (message.hwnd != window_ && !IsChild(window_, message.hwnd)) return false;
  const HWND control = message.hwnd;
  const bool multiLine = control == data_.Handle() || control == return_.Handle();
  if (message.message == WM_CHAR) {
    // The characters of keys taken below, which no control may see.
    return message.wParam == L'\t' || message.wParam == 0x1B || (message.wParam == L'\r' && !multiLine) ||
           (message.wParam == 0x01 && Down(VK_CONTROL));
  }
  const bool ctrl = Down(VK_CONTROL), shift = Down(VK_SHIFT), alt = Down(VK_MENU);
  const bool plain = !ctrl && !shift && !alt;
  switch (message.wParam) {
    case VK_ESCAPE:
      if (plain) PostMessageW(window_, WM_CLOSE, 0, 0);
      return plain;
    case VK_TAB:
      if (!ctrl && !alt) MoveFocus(control, !shift);
      return true;
    case VK_RETURN:
      return !multiLine;  // a new line in a multi-line box; nothing anywhere else
    case VK_F1:
      return true;
    case 'A':
      if (ctrl && !shift && !alt &&
          std::find(tabCycle_.begin(), tabCycle_.begin() + 3, control) != tabCycle_.begin() + 3) {
        SendMessageW(control, EM_SETSEL, 0, -1);
        return true;
      }
      return false;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: {
      if (!plain) return false;
      const HWND radios[] = {controls_[kHttp], controls_[kHttps], controls_[kPost], controls_[kGet]};
      const auto it = std::find(std::begin(radios), std::end(radios), control);
      if (it == std::end(radios)) return false;
      const size_t index = static_cast<size_t>(it - std::begin(radios));
      const HWND other = radios[index ^ 1];
      SetFocus(other);
      SendMessageW(other, BM_SETCHECK, BST_CHECKED, 0);
      SendMessageW(control, BM_SETCHECK, BST_UNCHECKED, 0);
      return true;
    }
    default:
      return false;
  }
}

LRESULT CALLBACK MainWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self ? self->OnMessage(window, message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT MainWindow::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (HIWORD(wParam) == EN_CHANGE) {
        if (id == kAddressBox) address_.Changed();
        if (id == kDataBox) data_.Changed();
        if (id == kReturnBox) return_.Changed();
        return 0;
      }
      if (HIWORD(wParam) != BN_CLICKED) break;
      if (id == kSend && handlers_.send) handlers_.send();
      if (id == kCopyAddress && handlers_.copy) handlers_.copy(EditBox::kAddress);
      if (id == kCopyData && handlers_.copy) handlers_.copy(EditBox::kData);
      if (id == kCopyReturn && handlers_.copy) handlers_.copy(EditBox::kReturn);
      if (id == kClear && handlers_.clear) handlers_.clear();
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      // Labels draw only their text, on the window's own background.
      const auto dc = reinterpret_cast<HDC>(wParam);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, reinterpret_cast<HWND>(lParam) == controls_[kCredit] ? outcomeColour_ : RGB(0, 0, 0));
      return reinterpret_cast<LRESULT>(background_);
    }
    case WM_DPICHANGED: {
      Layout(HIWORD(wParam));
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window, nullptr, suggested->left, suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      return 0;
    }
    case WM_DESTROY: {
      window_ = nullptr;
      if (handlers_.destroyed) handlers_.destroyed();
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace pakeno::win32
