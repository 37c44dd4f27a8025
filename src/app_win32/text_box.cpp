#include "app_win32/text_box.h"

#include <string>

#include "app_win32/wide_text.h"

namespace pakeno::win32 {
bool TextBox::SetGbkText(const Text& text) {
  bool exact = true;
  std::wstring shown = GbkToWide(text, &exact);
  const bool rebroken = WithCrLfBreaks(shown);
  keepsWritten_ = !exact || rebroken;
  written_ = keepsWritten_ ? text : Text();
  writing_ = true;
  const bool taken = SetWindowTextW(edit_, shown.c_str()) != FALSE;
  if (!taken) {
    SetWindowTextW(edit_, L"");
    keepsWritten_ = false;
    written_.clear();
  }
  writing_ = false;
  return taken;
}

Text TextBox::GbkText() const {
  if (keepsWritten_) return written_;
  const int length = GetWindowTextLengthW(edit_);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(edit_, text.data(), length + 1)));
  return WideToGbk(text);
}

void TextBox::Changed() {
  if (writing_) return;
  keepsWritten_ = false;
  written_.clear();
}

}  // namespace pakeno::win32
