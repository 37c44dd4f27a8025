#include <gtest/gtest.h>

#include <set>

#include "base/event_pump.h"
#include "encoding/gbk.h"
#include "http/failure_log.h"
#include "support/fakes.h"
#include "support/scoped_setting.h"
#include "support/scripted_server.h"
#include "workflows/clipboard_commands.h"
#include "workflows/outcome_line.h"
#include "workflows/submission.h"

namespace pakeno {
namespace {

using testing::FakeClipboard;
using testing::FakeMessageBoxes;
using testing::FakeWindow;
using testing::Reply;
using testing::ScriptedServer;
using testing::ShownBox;

const ShownBox kAddressMissing{Gbk("提交地址不能为空！"), Gbk("错误"), MessageButtons::kOk, MessageIcon::kWarning};
const ShownBox kDataMissing{Gbk("提交数据不能为空！"), Gbk("错误"), MessageButtons::kOk, MessageIcon::kWarning};
const ShownBox kSendFailed{Gbk("发送失败！"), Gbk("错误"), MessageButtons::kOk, MessageIcon::kNone};
const ShownBox kGetTakesNoData{Gbk("GET访问不需要提交数据！是否自动清空已填写的数据？"), Gbk("错误"),
                               MessageButtons::kYesNo, MessageIcon::kQuestion};

ScriptedServer::Script Echo(std::string body) {
  return [body](const std::string&, Reply& reply) {
    reply.Send(testing::Response(body));
    reply.Close();
  };
}

class Workflow : public ::testing::Test {
 protected:
  void SetUp() override { state.httpSession = std::make_unique<HttpSession>(); }
  // Whatever a test installs as the pump is gone after it.
  const testing::ScopedSetting pump{SetEventPump, std::function<void()>{}};

  FakeWindow window;
  FakeMessageBoxes boxes;
  ProgramState state;
};

// A body beyond what the box can show ends as a failed request: the box
// empty, and a line that says why.
TEST_F(Workflow, ABodyTooLargeToShowLeavesTheBoxEmpty) {
  ScriptedServer server(Echo(std::string(2u << 20, 'b')));
  const testing::ScopedSetting limit(SetMaxShownBodyBytesForTesting, size_t{1} << 20);
  std::string failures;
  const testing::ScopedSetting log(SetFailureLogSinkForTesting, [&](std::string_view line) { failures += line; });
  for (const RadioBox access : {RadioBox::kPost, RadioBox::kGet}) {
    window.Select(RadioBox::kHttp, access);
    window.texts = {{EditBox::kAddress, server.Url("/big")},
                    {EditBox::kData, access == RadioBox::kPost ? "a=1" : ""},
                    {EditBox::kReturn, "earlier"}};
    PressSend(window, boxes, state);
    EXPECT_EQ(window.texts[EditBox::kReturn], "");
    EXPECT_EQ(state.returnInfo, "");
  }
  EXPECT_NE(failures.find("POST " + server.Url("/big") + " failed: the body (2 MiB) is too large to show"),
            std::string::npos)
      << failures;
  EXPECT_NE(failures.find("GET " + server.Url("/big") + " failed: the body (2 MiB) is too large to show"),
            std::string::npos)
      << failures;
}

TEST(MessageTexts, AreGbk) {
  EXPECT_EQ(kSendFailed.text, "\xB7\xA2\xCB\xCD\xCA\xA7\xB0\xDC\xA3\xA1");  // 发送失败！
  EXPECT_EQ(kSendFailed.title, "\xB4\xED\xCE\xF3");                         // 错误
}

TEST_F(Workflow, RefusedPressesShowAOrBThenC) {
  ScriptedServer server(Echo("never"));
  const struct {
    const char* name;
    RadioBox access;
    Text address, data;
    std::vector<ShownBox> expected;
  } cases[] = {
      {"post, no address", RadioBox::kPost, "", "a=1", {kAddressMissing, kSendFailed}},
      {"post, nothing at all", RadioBox::kPost, "", "", {kAddressMissing, kSendFailed}},
      {"post, no data", RadioBox::kPost, server.Url(), "", {kDataMissing, kSendFailed}},
      {"get, no address", RadioBox::kGet, "", "a=1", {kAddressMissing, kSendFailed}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    boxes.shown.clear();
    state.submitAddress = "earlier address";
    state.submitData = "earlier data";
    window.Select(RadioBox::kHttp, c.access);
    window.texts = {{EditBox::kAddress, c.address}, {EditBox::kData, c.data}, {EditBox::kReturn, "kept"}};
    PressSend(window, boxes, state);
    EXPECT_EQ(boxes.shown, c.expected);
    EXPECT_EQ(state.submitAddress, "earlier address");
    EXPECT_EQ(state.submitData, "earlier data");
    EXPECT_EQ(window.texts[EditBox::kReturn], "kept");
  }
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(Workflow, PostOverHttpSendsTheGbkBytesAndShowsTheBody) {
  ScriptedServer server(Echo("\xC4\xE3\xBA\xC3 ok"));
  window.texts[EditBox::kAddress] = server.Url("/form.asp");
  window.texts[EditBox::kData] = "   ";  // blanks count as filled in
  PressSend(window, boxes, state);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(testing::BodyOf(server.LastRequest()), "   ");
  EXPECT_EQ(window.texts[EditBox::kReturn], "\xC4\xE3\xBA\xC3 ok");
  EXPECT_EQ(state.returnInfo, "\xC4\xE3\xBA\xC3 ok");
  EXPECT_EQ(state.submitAddress, server.Url("/form.asp"));

  window.texts[EditBox::kData] = "name=\xD5\xC5\xC8\xFD";
  PressSend(window, boxes, state);
  EXPECT_EQ(testing::BodyOf(server.LastRequest()), "name=\xD5\xC5\xC8\xFD");
}

TEST_F(Workflow, BodiesAreShownUnconvertedAndCutAtNul) {
  const std::string utf8 = "\xE4\xB8\xAD";  // shown as its bytes, not converted
  ScriptedServer server(Echo(utf8 + std::string("\0tail", 5)));
  window.texts = {{EditBox::kAddress, server.Url()}, {EditBox::kData, "a"}};
  PressSend(window, boxes, state);
  EXPECT_EQ(window.texts[EditBox::kReturn], utf8);
}

TEST_F(Workflow, FailedRequestEmptiesTheReturnBoxSilently) {
  window.texts = {{EditBox::kAddress, "a:b:c/x"}, {EditBox::kData, "a"}, {EditBox::kReturn, "old"}};
  state.returnInfo = "old";
  PressSend(window, boxes, state);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(window.texts[EditBox::kReturn], "");
  EXPECT_EQ(state.returnInfo, "");

  // https checked with an http:// address: refused by the session object, no message.
  ScriptedServer server(Echo("x"));
  window.Select(RadioBox::kHttps, RadioBox::kPost);
  window.texts = {{EditBox::kAddress, server.Url()}, {EditBox::kData, "a"}, {EditBox::kReturn, "old"}};
  PressSend(window, boxes, state);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(window.texts[EditBox::kReturn], "");
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(Workflow, GetWithDataAsksFirst) {
  ScriptedServer server(Echo("page"));
  window.Select(RadioBox::kHttps, RadioBox::kGet);  // an address that names its scheme keeps it
  window.texts = {{EditBox::kAddress, server.Url("/g?q=1")}, {EditBox::kData, "x=1"}, {EditBox::kReturn, "old"}};

  boxes.answers = {MessageAnswer::kNo};
  PressSend(window, boxes, state);
  EXPECT_EQ(boxes.shown, std::vector<ShownBox>{kGetTakesNoData});
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ(window.texts[EditBox::kData], "x=1");
  EXPECT_EQ(window.texts[EditBox::kReturn], "old");
  EXPECT_EQ(state.submitData, "x=1");  // stored before the question

  boxes.answers = {MessageAnswer::kYes};
  PressSend(window, boxes, state);
  EXPECT_EQ(window.texts[EditBox::kData], "");
  EXPECT_EQ(state.submitData, "");
  EXPECT_EQ(window.texts[EditBox::kReturn], "page");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_TRUE(server.LastRequest().starts_with("GET /g?q=1 HTTP/1.1\r\n"));

  // Without data there is no question.
  boxes.shown.clear();
  PressSend(window, boxes, state);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(server.Requests().size(), 2u);
}

// The line under the buttons, in UTF-8 for reading, after each kind of press.
TEST_F(Workflow, TheLineUnderTheButtonsTellsWhatBecameOfEachPress) {
  ScriptedServer server([](const std::string& request, Reply& reply) {
    const std::string target = request.substr(request.find(' ') + 1);
    if (target.starts_with("/missing")) {
      reply.Send(testing::Response("gone", "404 Not Found"));
    } else if (target.starts_with("/moved")) {
      reply.Send(testing::Response("", "302 Found", "Location: /page\r\n"));
    } else if (target.starts_with("/twice")) {
      reply.Send(testing::Response("", "301 Moved Permanently", "Location: /moved\r\n"));
    } else {
      reply.Send(testing::Response(std::string(5234, 'p')));
    }
    reply.Close();
  });
  int closedPort;
  {
    ScriptedServer gone(Echo(""));
    closedPort = gone.port();
  }
  const std::string hp = "127.0.0.1:" + std::to_string(server.port());
  const struct {
    RadioBox addressType, access;
    std::string address;
    std::string line;  // up to the time, which varies
    bool error;
  } cases[] = {
      {RadioBox::kHttp, RadioBox::kGet, server.Url("/page"), "200 OK · 5,234 字节 · ", false},
      {RadioBox::kHttp, RadioBox::kPost, hp + "/page", "200 OK · 5,234 字节 · ", false},
      {RadioBox::kHttp, RadioBox::kGet, server.Url("/missing"), "404 Not Found · 4 字节 · ", true},
      {RadioBox::kHttp, RadioBox::kGet, server.Url("/moved"), "302 → 200 OK · 5,234 字节 · ", false},
      {RadioBox::kHttp, RadioBox::kGet, server.Url("/twice"), "2 次重定向 → 200 OK · 5,234 字节 · ", false},
      {RadioBox::kHttp, RadioBox::kPost, "127.0.0.1:" + std::to_string(closedPort) + "/x",
       "发送失败：无法连接服务器，连接被拒绝", true},
      {RadioBox::kHttp, RadioBox::kPost, "https://" + hp + "/x", "发送失败：地址的协议与选中的地址类型不符", true},
      {RadioBox::kHttp, RadioBox::kGet, hp + "/p q", "发送失败：地址中有空格或控制字符", true},
      {RadioBox::kHttps, RadioBox::kPost, hp + "/x", "发送失败：https 地址不能带端口", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    window.Select(c.addressType, c.access);
    window.texts = {{EditBox::kAddress, c.address}, {EditBox::kData, c.access == RadioBox::kPost ? "a=1" : ""}};
    PressSend(window, boxes, state);
    const std::string shown = GbkToUtf8(window.outcome);
    EXPECT_TRUE(shown.starts_with(c.line)) << shown;
    EXPECT_EQ(shown.ends_with(" 毫秒"), !c.line.starts_with("发送失败")) << shown;
    EXPECT_EQ(window.outcomeIsError, c.error) << shown;
  }
  EXPECT_TRUE(boxes.shown.empty());

  // A refused press, and a GET answered No, leave the line as it was.
  window.Select(RadioBox::kHttp, RadioBox::kGet);
  window.outcome = "kept";
  window.texts = {{EditBox::kAddress, ""}};
  PressSend(window, boxes, state);
  window.texts = {{EditBox::kAddress, server.Url("/page")}, {EditBox::kData, "a=1"}};
  boxes.answers = {MessageAnswer::kNo};
  PressSend(window, boxes, state);
  EXPECT_EQ(window.outcome, "kept");
  // Clearing brings the credit line back.
  PressClear(window);
  EXPECT_EQ(window.outcome, "");
  EXPECT_FALSE(window.outcomeIsError);
}

TEST(OutcomeLine, NumbersPhrasesAndTimes) {
  using transport::FailureKind;
  const struct {
    transport::ResponseSummary response;
    uint64_t bytes;
    int ms;
    std::string line;
  } cases[] = {
      {{200, "OK", 0, 0}, 0, 0, "200 OK · 0 字节 · 0 毫秒"},
      {{200, "OK", 0, 0}, 1234567, 12345, "200 OK · 1,234,567 字节 · 12,345 毫秒"},
      {{204, "", 0, 0}, 0, 7, "204 · 0 字节 · 7 毫秒"},
      {{500, "Internal\tError\x01", 0, 0}, 3, 1, "500 Internal Error  · 3 字节 · 1 毫秒"},
      {{200, std::string(40, 'x'), 0, 0}, 1, 1, "200 " + std::string(32, 'x') + "... · 1 字节 · 1 毫秒"},
      // A GBK phrase is cut between its characters, never inside one.
      {{200, "x" + Gbk("成功成功成功成功成功成功成功成功成功"), 0, 0},
       1,
       1,
       "200 x成功成功成功成功成功成功成功成... · 1 字节 · 1 毫秒"},
  };
  for (const auto& c : cases) {
    RequestOutcome outcome;
    outcome.response = c.response;
    outcome.bodyBytes = c.bytes;
    const OutcomeLine line = DescribeOutcome(outcome, std::chrono::milliseconds(c.ms));
    EXPECT_EQ(GbkToUtf8(line.text), c.line);
    EXPECT_EQ(line.error, c.response.status >= 400);
  }
  // Every class of failure has a sentence of its own.
  std::set<Text> sentences;
  for (int kind = static_cast<int>(FailureKind::kNoSession); kind <= static_cast<int>(FailureKind::kOther); ++kind)
    sentences.insert(FailureSentence(static_cast<FailureKind>(kind)));
  EXPECT_EQ(sentences.size(), static_cast<size_t>(FailureKind::kOther));
}

TEST_F(Workflow, ABurstOfPressesDuringSlowRequestsStopsAtASaneDepth) {
  ScriptedServer server([](const std::string&, Reply& reply) {
    reply.Sleep(std::chrono::milliseconds(200));
    reply.Send(testing::Response("slow"));
    reply.Close();
  });
  window.texts = {{EditBox::kAddress, server.Url("/slow")}, {EditBox::kData, "a=1"}};
  int accepted = 0, refused = 0, deepest = 0;
  // The user keeps pressing while every request waits for its server.
  SetEventPump([&] {
    if (refused >= 20) return;
    deepest = std::max(deepest, state.runningSubmissions);
    (state.runningSubmissions < kMaxRunningSubmissions ? accepted : refused) += 1;
    PressSend(window, boxes, state);
  });
  PressSend(window, boxes, state);
  SetEventPump({});
  EXPECT_EQ(deepest, kMaxRunningSubmissions);
  EXPECT_EQ(refused, 20);
  EXPECT_EQ(server.Requests().size(), static_cast<size_t>(1 + accepted));  // a refused press sends nothing
  EXPECT_TRUE(boxes.shown.empty());                                        // and shows nothing
  EXPECT_EQ(state.runningSubmissions, 0);
  EXPECT_EQ(window.texts[EditBox::kReturn], "slow");
}

TEST_F(Workflow, NestedPressCompletesFirstAndTheOuterBodyWins) {
  const std::string outer(100'000, 'o');
  ScriptedServer server([&](const std::string& request, Reply& reply) {
    if (request.find("/inner") != std::string::npos) {
      reply.Send(testing::Response("inner"));
    } else {
      reply.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(outer.size()) + "\r\n\r\n");
      for (size_t i = 0; i < outer.size(); i += 5000) {
        reply.Send(outer.substr(i, 5000));
        reply.Sleep(std::chrono::milliseconds(1));
      }
    }
    reply.Close();
  });
  std::vector<Text> returnBoxDuringOuter;
  int pumps = 0;
  SetEventPump([&] {
    if (++pumps != 3) return;
    window.texts[EditBox::kAddress] = server.Url("/inner");
    PressSend(window, boxes, state);  // the user presses again mid-body
    returnBoxDuringOuter.push_back(window.texts[EditBox::kReturn]);
  });
  window.texts = {{EditBox::kAddress, server.Url("/outer")}, {EditBox::kData, "a"}};
  PressSend(window, boxes, state);
  EXPECT_EQ(returnBoxDuringOuter, std::vector<Text>{"inner"});
  EXPECT_EQ(window.texts[EditBox::kReturn], outer);
  EXPECT_EQ(state.returnInfo, outer);
  EXPECT_EQ(state.submitAddress, server.Url("/inner"));  // the nested press stored its own texts
}

TEST(ClipboardCommands, ClearEmptiesTheThreeBoxesInOrder) {
  FakeWindow window;
  window.texts = {{EditBox::kAddress, "a"}, {EditBox::kData, "d"}, {EditBox::kReturn, "r"}};
  PressClear(window);
  EXPECT_EQ(window.writes, (std::vector<EditBox>{EditBox::kAddress, EditBox::kData, EditBox::kReturn}));
  for (auto& [box, text] : window.texts) EXPECT_EQ(text, "") << static_cast<int>(box);
}

TEST(ClipboardCommands, CopyPutsTheBoxOnTheClipboardAndConfirms) {
  const ShownBox confirmation{Gbk("已复制到剪贴板，可粘贴使用。"), Gbk("信息："), MessageButtons::kOk,
                              MessageIcon::kNone};
  for (EditBox box : {EditBox::kAddress, EditBox::kData, EditBox::kReturn}) {
    FakeWindow window;
    FakeMessageBoxes boxes;
    FakeClipboard clipboard;
    window.texts = {{EditBox::kAddress, "addr"}, {EditBox::kData, "data"}, {EditBox::kReturn, Text(100'000, 'r')}};
    PressCopy(window, box, clipboard, boxes);
    EXPECT_EQ(clipboard.content, window.texts[box]);
    EXPECT_EQ(boxes.shown, std::vector<ShownBox>{confirmation});
  }
  // An empty box empties the clipboard, and is still confirmed.
  FakeWindow window;
  FakeMessageBoxes boxes;
  FakeClipboard clipboard;
  PressCopy(window, EditBox::kReturn, clipboard, boxes);
  EXPECT_EQ(clipboard.content, "");
  EXPECT_EQ(boxes.shown, std::vector<ShownBox>{confirmation});
}

TEST(ClipboardCommands, CopyThatDidNotReachTheClipboardSaysSo) {
  FakeWindow window;
  FakeMessageBoxes boxes;
  FakeClipboard clipboard;
  clipboard.broken = true;
  window.texts[EditBox::kAddress] = "http://srv/";
  PressCopy(window, EditBox::kAddress, clipboard, boxes);
  EXPECT_EQ(clipboard.content, "old content");
  EXPECT_EQ(boxes.shown, (std::vector<ShownBox>{{Gbk("复制失败，剪贴板暂时无法使用！"), Gbk("错误"),
                                                 MessageButtons::kOk, MessageIcon::kWarning}}));
}

}  // namespace
}  // namespace pakeno
