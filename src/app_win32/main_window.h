#pragma once

// The tool's one window in Win32: the same controls, captions, names,
// layout and keyboard rules as the Qt window, scaled to the window's DPI.
// It lays out its controls, implements the keyboard rules and hands each
// click to the handler it was given; it has no logic of its own.

#include <windows.h>

#include <array>
#include <string_view>

#include "app_win32/text_box.h"
#include "window_layout/window_layout.h"
#include "workflows/window_handlers.h"

namespace pakeno::win32 {

class MainWindow : public WindowControls {
 public:
  explicit MainWindow(WindowHandlers handlers);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window, hidden, with its controls; false when it could not
  // be. `dpi` 0: the system's.
  bool Create(UINT dpi = 0);
  // Centres the window, runs the created handler to its end while the
  // window is still hidden, then shows it.
  void Load();

  Text ReadText(EditBox box) override;
  bool WriteText(EditBox box, const Text& text) override;
  bool ReadChecked(RadioBox radio) override;
  void ShowOutcome(const Text& line, bool error) override;

  // The keyboard rules, applied to a message before it is translated and
  // dispatched; true when the message was taken and must go no further.
  bool FilterKey(const MSG& message);

  HWND Handle() const { return window_; }
  // A control by its name (the Qt window's object names); null for none.
  HWND Control(std::string_view name) const;
  UINT Dpi() const { return dpi_; }
  // The controls that take the focus, in Tab order.
  const std::array<HWND, 12>& TabCycle() const { return tabCycle_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void BuildControls();
  void Layout(UINT dpi);
  void MoveFocus(HWND from, bool forward);
  TextBox& Box(EditBox box);

  WindowHandlers handlers_;
  HWND window_ = nullptr;
  UINT dpi_ = 96;
  HFONT font_ = nullptr;
  HBRUSH background_ = nullptr;
  COLORREF outcomeColour_ = RGB(0, 136, 255);      // of the line under the buttons: the credit colour first
  std::array<HWND, kControls.size()> controls_{};  // in the order of the layout table
  TextBox address_, data_, return_;
  std::array<HWND, 12> tabCycle_{};
};

}  // namespace pakeno::win32
