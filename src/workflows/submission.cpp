#include "workflows/submission.h"

#include <chrono>

#include "encoding/gbk.h"
#include "http/failure_log.h"
#include "http/page_fetch.h"
#include "workflows/outcome_line.h"

namespace pakeno {
namespace {

void ShowError(MessageBoxes& boxes, const Text& text, MessageIcon icon) {
  boxes.Show(text, Gbk("错误"), MessageButtons::kOk, icon);
}

// Tells a missing address or missing data; false when the press is refused.
bool Validate(WindowControls& window, MessageBoxes& boxes) {
  const bool post = window.ReadChecked(RadioBox::kPost);
  const bool get = window.ReadChecked(RadioBox::kGet);
  if ((post || get) && window.ReadText(EditBox::kAddress).empty()) {
    ShowError(boxes, Gbk("提交地址不能为空！"), MessageIcon::kWarning);
    return false;
  }
  if (post && window.ReadText(EditBox::kData).empty()) {
    ShowError(boxes, Gbk("提交数据不能为空！"), MessageIcon::kWarning);
    return false;
  }
  return post || get;
}

std::string TooLargeToShow(size_t bytes) {
  return "the body (" + std::to_string(bytes >> 20) + " MiB) is too large to show";
}

// A body the box cannot hold ends as a failed request does: the box empty,
// and lines that say why.
void ShowBody(WindowControls& window, ProgramState& state, Text body, std::string_view method, const Text& address,
              RequestOutcome& outcome) {
  const size_t size = body.size();
  const transport::Failure tooLarge{transport::FailureKind::kTooLargeToShow, TooLargeToShow(size)};
  if (size > MaxShownBodyBytes()) {
    LogFailedRequest(method, address, tooLarge.reason);
    outcome.failure = tooLarge;
    body.clear();
  }
  state.returnInfo = std::move(body);
  if (!window.WriteText(EditBox::kReturn, state.returnInfo)) {
    LogFailedRequest(method, address, tooLarge.reason);
    outcome.failure = tooLarge;
    state.returnInfo.clear();
  }
}

void ShowOutcome(WindowControls& window, const RequestOutcome& outcome, std::chrono::steady_clock::time_point pressed) {
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - pressed);
  const OutcomeLine line = DescribeOutcome(outcome, elapsed);
  window.ShowOutcome(line.text, line.error);
}

// Counts a running submission for as long as it runs.
class Running {
 public:
  explicit Running(int& count) : count_(++count) {}
  ~Running() { --count_; }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

 private:
  int& count_;
};

}  // namespace

void PressSend(WindowControls& window, MessageBoxes& boxes, ProgramState& state) {
  const auto pressed = std::chrono::steady_clock::now();
  if (state.runningSubmissions >= kMaxRunningSubmissions) return;
  const Running running(state.runningSubmissions);
  if (!Validate(window, boxes)) {
    ShowError(boxes, Gbk("发送失败！"), MessageIcon::kNone);
    return;
  }
  state.submitAddress = window.ReadText(EditBox::kAddress);
  state.submitData = window.ReadText(EditBox::kData);

  if (window.ReadChecked(RadioBox::kPost)) {
    // Copies: a nested press during the request may replace the globals.
    const Text address = state.submitAddress, data = state.submitData;
    Bytes body;
    RequestOutcome outcome;
    outcome.failure = {transport::FailureKind::kNoSession, "no HTTP session"};
    if (!state.httpSession) {
      // Only after ExitCleanup; nothing can be sent any more.
    } else if (window.ReadChecked(RadioBox::kHttp)) {
      body = state.httpSession->PostHttp(address, data);
      outcome = state.httpSession->LastOutcome();
    } else if (window.ReadChecked(RadioBox::kHttps)) {
      body = state.httpSession->PostHttps(address, data);
      outcome = state.httpSession->LastOutcome();
    }
    ShowBody(window, state, BytesToText(std::move(body)), "POST", address, outcome);
    ShowOutcome(window, outcome, pressed);
    return;
  }

  if (!window.ReadText(EditBox::kData).empty()) {
    const MessageAnswer answer = boxes.Show(Gbk("GET访问不需要提交数据！是否自动清空已填写的数据？"), Gbk("错误"),
                                            MessageButtons::kYesNo, MessageIcon::kQuestion);
    if (answer != MessageAnswer::kYes) return;
    window.WriteText(EditBox::kData, {});
    state.submitData.clear();
  }
  const Text address = state.submitAddress;
  // An address without a scheme goes as the address type says: with https
  // checked, never in clear.
  RequestOutcome outcome;
  const FetchOptions options{window.ReadChecked(RadioBox::kHttps), &outcome};
  Text body = FetchPageText(address, {}, {}, nullptr, {}, nullptr, options);
  ShowBody(window, state, std::move(body), "GET", address, outcome);
  ShowOutcome(window, outcome, pressed);
}

}  // namespace pakeno
