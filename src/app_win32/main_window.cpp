#include "app_win32/main_window.h"

#include <algorithm>
#include <string>

#include "app_win32/dpi.h"
#include "app_win32/wide_text.h"
#include "base/version.h"
#include "window_layout/window_layout.h"

namespace pakeno::win32 {
namespace {

// The client area is kClientWidth x kClientHeight at 96 DPI; the outer size
// follows from the system's frame and title bar.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr wchar_t kClassName[] = L"PakenoMainWindow";
constexpr COLORREF kCreditColour = RGB(0, 136, 255);
constexpr COLORREF kErrorColour = RGB(204, 0, 0);

// A control's command id: its index in the window's description, past the ids the system keeps.
constexpr int kFirstId = 100;
constexpr size_t kAddress = IndexOf(Role::kAddressBox), kData = IndexOf(Role::kDataBox),
                 kReturn = IndexOf(Role::kReturnBox), kHttp = IndexOf(Role::kHttp), kHttps = IndexOf(Role::kHttps),
                 kPost = IndexOf(Role::kPost), kGet = IndexOf(Role::kGet), kOutcome = IndexOf(Role::kOutcome);

constexpr DWORD kEdit = WS_TABSTOP | ES_LEFT;
constexpr DWORD kMultiLine = kEdit | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL;

// The Win32 class and style of each kind of control.
struct Win32Kind {
  const wchar_t* windowClass;
  DWORD style;
};
Win32Kind Win32KindOf(const ControlPlan& control, size_t index) {
  switch (control.kind) {
    case ControlKind::kLabel:
      // One line whatever the font and scale: an outcome that does not fit ends in an ellipsis.
      if (control.role == Role::kOutcome) return {L"STATIC", SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX | SS_ENDELLIPSIS};
      return {L"STATIC", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX};
    case ControlKind::kLineBox:
      return {L"EDIT", kEdit | ES_AUTOHSCROLL};
    case ControlKind::kMultiLineBox:
      return {L"EDIT", kMultiLine};
    case ControlKind::kGroup:
      return {L"BUTTON", BS_GROUPBOX};
    case ControlKind::kRadio:
      // The first of its group box starts a group of its own, so the pairs never touch.
      return {L"BUTTON", WS_TABSTOP | BS_AUTORADIOBUTTON | BS_MULTILINE |
                             (static_cast<int>(index) == control.parent + 1 ? WS_GROUP : 0u)};
    case ControlKind::kPush:
      return {L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE};
  }
  return {L"STATIC", 0};
}

Key KeyOf(WPARAM key) {
  switch (key) {
    case VK_ESCAPE:
      return Key::kEscape;
    case VK_TAB:
      return Key::kTab;
    case VK_RETURN:
      return Key::kEnter;
    case VK_F1:
      return Key::kF1;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
      return Key::kArrow;
    case 'A':
      return Key::kA;
    default:
      return Key::kOther;
  }
}

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
  dpi_ = dpi ? dpi : SystemDpi();
  background_ = GetSysColorBrush(COLOR_BTNFACE);
  const std::wstring title = Utf8ToWide(std::string(kTitleBeforeVersion) + kVersion + std::string(kTitleAfterVersion));
  window_ = CreateWindowExW(0, kClassName, title.c_str(), kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr,
                            nullptr, instance, this);
  if (!window_) return false;
  BuildControls();
  Layout(dpi_);
  return std::all_of(controls_.begin(), controls_.end(), [](HWND control) { return control != nullptr; });
}

void MainWindow::BuildControls() {
  for (size_t i = 0; i < kControls.size(); ++i) {
    const ControlPlan& control = kControls[i];
    const Win32Kind kind = Win32KindOf(control, i);
    const HWND parent = control.parent < 0 ? window_ : controls_[static_cast<size_t>(control.parent)];
    const std::wstring caption = Utf8ToWide(control.caption);
    const bool box = control.kind == ControlKind::kLineBox || control.kind == ControlKind::kMultiLineBox;
    controls_[i] = CreateWindowExW(box ? WS_EX_CLIENTEDGE : 0, kind.windowClass, caption.c_str(),
                                   WS_CHILD | WS_VISIBLE | kind.style, 0, 0, 0, 0, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + static_cast<int>(i))),
                                   GetModuleHandleW(nullptr), nullptr);
    // No length limit but the system's.
    if (box) SendMessageW(controls_[i], EM_SETLIMITTEXT, 0, 0);
    if (control.checked) SendMessageW(controls_[i], BM_SETCHECK, BST_CHECKED, 0);
  }
  address_.Attach(controls_[kAddress]);
  data_.Attach(controls_[kData]);
  return_.Attach(controls_[kReturn]);
  std::transform(kTabCycle.begin(), kTabCycle.end(), tabCycle_.begin(),
                 [this](Role role) { return controls_[IndexOf(role)]; });
}

void MainWindow::Layout(UINT dpi) {
  dpi_ = dpi;
  // The default GUI font, made for the system's DPI, at this window's.
  LOGFONTW font{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
  const HFONT previous = font_;
  font_ = CreateFontIndirectW(&font);
  for (size_t i = 0; i < kControls.size(); ++i) {
    const ControlPlan& control = kControls[i];
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
  for (size_t i = 0; i < kControls.size(); ++i) {
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
  const size_t index = radio == RadioBox::kHttp    ? kHttp
                       : radio == RadioBox::kHttps ? kHttps
                       : radio == RadioBox::kPost  ? kPost
                                                   : kGet;
  return SendMessageW(controls_[index], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::ShowOutcome(const Text& line, bool error) {
  // The label's text is its name for a screen reader.
  const std::wstring text = line.empty() ? Utf8ToWide(kCreditLine) : GbkToWide(line);
  outcomeColour_ = error ? kErrorColour : kCreditColour;
  SetWindowTextW(controls_[kOutcome], text.c_str());
  InvalidateRect(controls_[kOutcome], nullptr, TRUE);
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
  const auto at = std::find(controls_.begin(), controls_.end(), control);
  const ControlKind kind =
      at == controls_.end() ? ControlKind::kLabel : kControls[static_cast<size_t>(at - controls_.begin())].kind;
  const Modifiers modifiers{Down(VK_CONTROL), Down(VK_SHIFT), Down(VK_MENU)};
  if (message.message == WM_CHAR) {
    // The characters of keys taken below, which no control may see; an Esc
    // never, whatever is held with it.
    if (message.wParam == 0x1B) return true;
    const Key key = message.wParam == L'\t'   ? Key::kTab
                    : message.wParam == L'\r' ? Key::kEnter
                    : message.wParam == 0x01  ? Key::kA
                                              : Key::kOther;
    return key != Key::kOther && KeyActionFor(key, modifiers, kind) != KeyAction::kPass;
  }
  const KeyAction action = KeyActionFor(KeyOf(message.wParam), modifiers, kind);
  switch (action) {
    case KeyAction::kPass:
      return false;
    case KeyAction::kSwallow:
      return true;
    case KeyAction::kClose:
      PostMessageW(window_, WM_CLOSE, 0, 0);
      return true;
    case KeyAction::kFocusNext:
    case KeyAction::kFocusPrevious:
      MoveFocus(control, action == KeyAction::kFocusNext);
      return true;
    case KeyAction::kSelectAll:
      SendMessageW(control, EM_SETSEL, 0, -1);
      return true;
    case KeyAction::kCheckOther: {
      const HWND other = controls_[IndexOf(OtherOfPair(kControls[static_cast<size_t>(at - controls_.begin())].role))];
      SetFocus(other);
      SendMessageW(other, BM_SETCHECK, BST_CHECKED, 0);
      SendMessageW(control, BM_SETCHECK, BST_UNCHECKED, 0);
      return true;
    }
  }
  return false;
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
      const size_t index = static_cast<size_t>(LOWORD(wParam) - kFirstId);
      if (LOWORD(wParam) < kFirstId || index >= kControls.size()) break;
      const Role role = kControls[index].role;
      if (HIWORD(wParam) == EN_CHANGE) {
        if (role == Role::kAddressBox) address_.Changed();
        if (role == Role::kDataBox) data_.Changed();
        if (role == Role::kReturnBox) return_.Changed();
        return 0;
      }
      if (HIWORD(wParam) != BN_CLICKED) break;
      if (role == Role::kSend && handlers_.send) handlers_.send();
      if (role == Role::kCopyAddress && handlers_.copy) handlers_.copy(EditBox::kAddress);
      if (role == Role::kCopyData && handlers_.copy) handlers_.copy(EditBox::kData);
      if (role == Role::kCopyReturn && handlers_.copy) handlers_.copy(EditBox::kReturn);
      if (role == Role::kClear && handlers_.clear) handlers_.clear();
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      // Labels draw only their text, on the window's own background.
      const auto dc = reinterpret_cast<HDC>(wParam);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, reinterpret_cast<HWND>(lParam) == controls_[kOutcome] ? outcomeColour_ : RGB(0, 0, 0));
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
