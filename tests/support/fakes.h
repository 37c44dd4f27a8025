#pragma once

// Fakes of the window and the platform services, so the workflows run headless.

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "desktop/browser.h"
#include "desktop/clipboard.h"
#include "desktop/message_box.h"
#include "workflows/window_controls.h"

namespace pakeno::testing {

class FakeWindow : public WindowControls {
 public:
  std::map<EditBox, Text> texts;
  std::map<RadioBox, bool> checked{
      {RadioBox::kHttp, true}, {RadioBox::kHttps, false}, {RadioBox::kPost, true}, {RadioBox::kGet, false}};
  std::vector<EditBox> writes;  // the boxes written, in order
  Text outcome;                 // the line under the buttons; empty: the credit line
  bool outcomeIsError = false;

  Text ReadText(EditBox box) override { return texts[box]; }
  bool WriteText(EditBox box, const Text& text) override {
    texts[box] = text;
    writes.push_back(box);
    return true;
  }
  bool ReadChecked(RadioBox radio) override { return checked[radio]; }
  void ShowOutcome(const Text& line, bool error) override {
    outcome = line;
    outcomeIsError = error;
  }

  void Select(RadioBox addressType, RadioBox accessType) {
    checked[RadioBox::kHttp] = addressType == RadioBox::kHttp;
    checked[RadioBox::kHttps] = addressType == RadioBox::kHttps;
    checked[RadioBox::kPost] = accessType == RadioBox::kPost;
    checked[RadioBox::kGet] = accessType == RadioBox::kGet;
  }
};

struct ShownBox {
  Text text, title;
  MessageButtons buttons;
  MessageIcon icon;
  bool operator==(const ShownBox&) const = default;
};

class FakeMessageBoxes : public MessageBoxes {
 public:
  std::vector<ShownBox> shown;
  std::deque<MessageAnswer> answers;  // for Yes/No boxes, in order

  MessageAnswer Show(const Text& text, const Text& title, MessageButtons buttons, MessageIcon icon) override {
    shown.push_back({text, title, buttons, icon});
    if (buttons == MessageButtons::kOk) return MessageAnswer::kOk;
    if (answers.empty()) return MessageAnswer::kNo;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

class FakeClipboard : public Clipboard {
 public:
  Text content = "old content";
  bool broken = false;  // another program holds the clipboard

  bool SetText(const Text& text) override {
    if (broken) return false;
    content = text;
    return true;
  }
};

class FakeBrowser : public Browser {
 public:
  std::vector<Text> opened;
  void Open(const Text& address) override { opened.push_back(address); }
};

}  // namespace pakeno::testing
