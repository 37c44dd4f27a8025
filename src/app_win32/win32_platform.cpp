#include "app_win32/win32_platform.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "app_win32/main_window.h"
#include "app_win32/wide_text.h"
#include "base/ascii.h"
#include "base/event_pump.h"
#include "encoding/gbk.h"

namespace pakeno::win32 {
namespace {

thread_local HHOOK captionHook = nullptr;

// Runs as the box is activated: its buttons exist, it is not drawn yet.
LRESULT CALLBACK RenameButtons(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    const auto box = reinterpret_cast<HWND>(wParam);
    SetDlgItemTextW(box, IDOK, L"确定");
    SetDlgItemTextW(box, IDYES, L"是(&Y)");
    SetDlgItemTextW(box, IDNO, L"否(&N)");
    UnhookWindowsHookEx(captionHook);
    captionHook = nullptr;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

UINT IconFlag(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kWarning:
      return MB_ICONEXCLAMATION;
    case MessageIcon::kQuestion:
      return MB_ICONQUESTION;
    case MessageIcon::kError:
      return MB_ICONERROR;
    case MessageIcon::kNone:
      break;
  }
  return 0;
}

// A movable global block holding `bytes`, as SetClipboardData takes it.
HGLOBAL GlobalCopy(const void* bytes, size_t size) {
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return nullptr;
  void* target = GlobalLock(block);
  if (!target) {
    GlobalFree(block);
    return nullptr;
  }
  std::memcpy(target, bytes, size);
  GlobalUnlock(block);
  return block;
}

bool Put(UINT format, const void* bytes, size_t size) {
  const HGLOBAL block = GlobalCopy(bytes, size);
  if (!block) return false;
  if (SetClipboardData(format, block)) return true;  // the clipboard owns it now
  GlobalFree(block);
  return false;
}

void PumpMessages(MainWindow& window) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the loop outside
      return;
    }
    if (window.FilterKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

MessageAnswer Win32MessageBoxes::Show(const Text& text, const Text& title, MessageButtons buttons, MessageIcon icon) {
  const std::wstring wideText = GbkToWide(text), wideTitle = GbkToWide(title);
  if (!captionHook) captionHook = SetWindowsHookExW(WH_CBT, RenameButtons, nullptr, GetCurrentThreadId());
  const UINT type = (buttons == MessageButtons::kOk ? MB_OK : MB_YESNO) | IconFlag(icon) | MB_TASKMODAL;
  const int answer = MessageBoxW(nullptr, wideText.c_str(), wideTitle.c_str(), type);
  if (captionHook) {  // a box that was never activated
    UnhookWindowsHookEx(captionHook);
    captionHook = nullptr;
  }
  // The box's own answer; a box that could not be shown answered nothing, which is No.
  switch (answer) {
    case IDOK:
      return MessageAnswer::kOk;
    case IDYES:
      return MessageAnswer::kYes;
    default:
      return MessageAnswer::kNo;
  }
}

bool Win32Clipboard::SetText(const Text& text) {
  std::wstring wide = GbkToWide(text);
  WithCrLfBreaks(wide);
  if (wide.size() >= INT_MAX) return false;
  const int length = static_cast<int>(wide.size());
  std::string ansi(static_cast<size_t>(WideCharToMultiByte(936, 0, wide.data(), length, nullptr, 0, nullptr, nullptr)),
                   '\0');
  WideCharToMultiByte(936, 0, wide.data(), length, ansi.data(), static_cast<int>(ansi.size()), nullptr, nullptr);
  // Another program may hold the clipboard for a moment.
  bool open = false;
  for (int attempt = 0; attempt < 20 && !(open = OpenClipboard(owner_ ? owner_() : nullptr)); ++attempt) Sleep(10);
  if (!open) return false;
  const LCID chinese = MAKELCID(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), SORT_DEFAULT);
  const bool taken = EmptyClipboard() && Put(CF_UNICODETEXT, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t)) &&
                     Put(CF_TEXT, ansi.c_str(), ansi.size() + 1) && Put(CF_LOCALE, &chinese, sizeof chinese);
  CloseClipboard();
  return taken;
}

bool IsWebAddress(std::string_view utf8) {
  return StartsWithIgnoringCase(utf8, "http://") || StartsWithIgnoringCase(utf8, "https://");
}

void Win32Browser::Open(const Text& address) {
  const std::string utf8 = Gb18030ToUtf8(address);
  if (IsWebAddress(utf8)) shell_(Utf8ToWide(utf8));
}

void Win32Browser::ShellOpen(const std::wstring& address) {
  // The shell's libraries are loaded for this alone, not at every start.
  // ShellExecuteW may hand the address to a shell extension over COM, which
  // must be set up on the calling thread first, apartment-threaded.
  const HMODULE com = LoadLibraryW(L"ole32.dll");
  using CoInitializeFunction = HRESULT(WINAPI*)(LPVOID, DWORD);
  using CoUninitializeFunction = void(WINAPI*)();
  const auto initialize =
      com ? reinterpret_cast<CoInitializeFunction>(reinterpret_cast<void (*)()>(GetProcAddress(com, "CoInitializeEx")))
          : nullptr;
  const auto uninitialize = com ? reinterpret_cast<CoUninitializeFunction>(
                                      reinterpret_cast<void (*)()>(GetProcAddress(com, "CoUninitialize")))
                                : nullptr;
  const HRESULT comState = initialize ? initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE) : E_FAIL;
  if (const HMODULE shell = LoadLibraryW(L"shell32.dll")) {
    using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
    if (const auto execute = reinterpret_cast<ShellExecuteFunction>(
            reinterpret_cast<void (*)()>(GetProcAddress(shell, "ShellExecuteW")))) {
      execute(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
    FreeLibrary(shell);
  }
  // Each successful initialisation, S_FALSE included, is undone once.
  if (SUCCEEDED(comState) && uninitialize) uninitialize();
  if (com) FreeLibrary(com);
}

int RunMessageLoop(MainWindow& window) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window.FilterKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

void InstallWin32EventPump(MainWindow& window) {
  SetEventPump([&window] { PumpMessages(window); });
}

void AttachStandardError() {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error && error != INVALID_HANDLE_VALUE && GetFileType(error) != FILE_TYPE_UNKNOWN) return;  // redirected
  if (AttachConsole(ATTACH_PARENT_PROCESS)) std::freopen("CONOUT$", "w", stderr);
}

}  // namespace pakeno::win32
