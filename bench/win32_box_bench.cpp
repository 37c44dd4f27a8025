// A body written into the Win32 window's return box, against a plain EDIT of
// the same styles given the same text, in the same run, under Wine. Both
// wrap lines at the box's width, as the box must.
// Usage: win32_box_bench [--rows]

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "app_win32/main_window.h"
#include "app_win32/wide_text.h"

namespace {

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

std::string Body(size_t bytes, bool lines) {
  std::string body;
  body.reserve(bytes);
  while (body.size() < bytes) {
    if (lines && body.size() % 82 == 80) {
      body += "\r\n";
    } else {
      body += static_cast<char>('a' + body.size() % 26);
      if (body.size() % 7 == 0) body += ' ';
    }
  }
  body.resize(bytes);
  return body;
}

}  // namespace

int main(int argc, char** argv) {
  const bool rows = argc > 1 && std::strcmp(argv[1], "--rows") == 0;
  pakeno::win32::MainWindow window({});
  if (!window.Create()) return 1;
  window.Load();
  const HWND box = window.Control("编辑框返回信息");
  RECT rect;
  GetWindowRect(box, &rect);
  MapWindowPoints(nullptr, window.Handle(), reinterpret_cast<POINT*>(&rect), 2);
  const HWND plain = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", static_cast<DWORD>(GetWindowLongW(box, GWL_STYLE)),
                                     rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                     window.Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(plain, WM_SETFONT, SendMessageW(box, WM_GETFONT, 0, 0), FALSE);
  SendMessageW(plain, EM_SETLIMITTEXT, 0, 0);
  // Sizes a plain EDIT under Wine gets through in seconds: its wrapping grows
  // faster than the text, so 16 MiB is out of its reach (and of the box's).
  const struct {
    size_t bytes;
    bool lines;
    const char* shape;
  } cases[] = {{4 << 10, false, "one line"},
               {16 << 10, false, "one line"},
               {256 << 10, true, "lines of 80"},
               {1 << 20, true, "lines of 80"}};
  for (const auto& c : cases) {
    const std::string body = Body(c.bytes, c.lines);
    const auto t0 = std::chrono::steady_clock::now();
    window.WriteText(pakeno::EditBox::kReturn, body);
    UpdateWindow(box);
    const auto t1 = std::chrono::steady_clock::now();
    SetWindowTextW(plain, pakeno::win32::Utf8ToWide(body).c_str());
    UpdateWindow(plain);
    const auto t2 = std::chrono::steady_clock::now();
    const double ours = Milliseconds(t1 - t0), reference = Milliseconds(t2 - t1);
    if (rows) {
      std::printf("| Win32 return box under Wine, %zu KiB, %s | %.1f ms | plain EDIT %.1f ms | %.2fx |\n",
                  c.bytes >> 10, c.shape, ours, reference, ours / reference);
    } else {
      std::printf("%6zu KiB %-12s box %9.1f ms  plain EDIT %9.1f ms  %.2fx\n", c.bytes >> 10, c.shape, ours, reference,
                  ours / reference);
    }
    std::fflush(stdout);
  }
  return 0;
}
