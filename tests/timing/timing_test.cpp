// Everything that asserts on time: display, event latency, time-outs. Run
// serially, and each compared with a reference measured in the same run (a
// plain widget, the idle event loop) or with the time-out it checks, with a
// margin that holds on a machine busy with other work.

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

#include "app/long_text_edit.h"
#include "app/main_window.h"
#include "base/event_pump.h"
#include "encoding/gbk.h"
#include "http/http_session.h"
#include "http/page_fetch.h"
#include "support/scoped_setting.h"
#include "support/scripted_server.h"
#include "support/tick_gap.h"

using namespace Qt::Literals::StringLiterals;

namespace pakeno {
namespace {

using namespace std::chrono_literals;
using testing::Reply;
using testing::Response;
using testing::ScriptedServer;

// What a window may add to the idle loop's own longest gap while it works.
constexpr qint64 kLatencyMargin = 50;

// The idle event loop's longest gap between two ticks of the 5 ms timer.
qint64 IdleTickGap() {
  return testing::WorstTickGap([] {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 500) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  });
}

// A body on one line, as minified pages and JSON answers come.
Text OneLine(size_t size) {
  Text text(size, 'x');
  for (size_t i = 0; i < size; i += 7) text[i] = ' ';
  for (size_t i = 3; i + 1 < size; i += 97) text.replace(i, 2, "\xB0\xA1");  // GBK 啊
  return text;
}

class Display : public ::testing::Test {
 protected:
  void SetUp() override {
    for (QPlainTextEdit* edit : {static_cast<QPlainTextEdit*>(&box), &reference}) {
      edit->resize(287, 152);
      edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      edit->show();
    }
    QApplication::processEvents();
  }
  template <typename Show>
  qint64 Milliseconds(Show show) {
    QElapsedTimer timer;
    timer.start();
    show();
    QApplication::processEvents();
    return timer.elapsed();
  }
  LongTextEdit box;
  QPlainTextEdit reference;
};

TEST_F(Display, ALongLineShowsNoSlowerThanShortLinesInAPlainBox) {
  // A plain QPlainTextEdit takes seconds for 16 MiB on one line; given the
  // same amount in lines of 80, its fast case, it is the reference.
  const Text body = OneLine(16u << 20);
  Text lines = body;
  for (size_t i = 79; i < lines.size(); i += 80) lines[i] = '\n';
  const QString referenceText = QString::fromLatin1(lines.data(), static_cast<qsizetype>(lines.size()));
  const qint64 referenceMs = Milliseconds([&] { reference.setPlainText(referenceText); });
  const qint64 ms = Milliseconds([&] {
    box.SetGbkText(body);
    QApplication::processEvents();
    box.verticalScrollBar()->setValue(box.verticalScrollBar()->maximum());
  });
  EXPECT_EQ(box.GbkText().size(), body.size());
  EXPECT_LT(ms, 2 * referenceMs + 200) << "a plain box took " << referenceMs << " ms";
}

TEST_F(Display, LineBreaksOfEveryKindInTurnShowAsQuicklyAsLinesOf80) {
  Text lines = OneLine(8u << 20), alternating;
  for (size_t i = 79; i < lines.size(); i += 80) lines[i] = '\n';
  while (alternating.size() < lines.size()) alternating += "\r\r\n\n";
  const qint64 linesMs = Milliseconds([&] { box.SetGbkText(lines); });
  const qint64 ms = Milliseconds([&] { box.SetGbkText(alternating); });
  EXPECT_TRUE(box.GbkText() == alternating);
  EXPECT_LT(ms, 2 * linesMs + 500) << "lines of 80 took " << linesMs << " ms";
}

TEST_F(Display, TheAddressBoxTakesAPasteAsFastAsTheDataBox) {
  MainWindow window({});
  window.show();
  auto* address = window.findChild<QPlainTextEdit*>(u"编辑框提交地址"_s);
  auto* data = window.findChild<QPlainTextEdit*>(u"编辑框提交数据"_s);
  for (const qsizetype size : {qsizetype{1} << 20, qsizetype{16} << 20}) {
    SCOPED_TRACE(size);
    QGuiApplication::clipboard()->setText(QString(size, u'a') + u"\r\nsecond line"_s);
    const qint64 dataMs = Milliseconds([&] { data->paste(); });
    const qint64 addressMs = Milliseconds([&] { address->paste(); });
    EXPECT_EQ(window.ReadText(EditBox::kAddress).size(), static_cast<size_t>(size));  // the first line alone
    EXPECT_LT(addressMs, 2 * dataMs + 200) << "the data box took " << dataMs << " ms";
    window.WriteText(EditBox::kAddress, {});
    window.WriteText(EditBox::kData, {});
  }
}

TEST_F(Display, PastingALongLineIsAsQuickAsWritingIt) {
  for (const size_t size : {size_t{1} << 20, size_t{16} << 20}) {
    SCOPED_TRACE(size);
    const Text line = OneLine(size);
    const QString unicode = QString::fromStdString(GbkToUtf8(line));
    QElapsedTimer timer;
    timer.start();
    box.SetGbkText(line);
    QApplication::processEvents();
    const qint64 writing = timer.restart();

    box.SetGbkText({});
    QGuiApplication::clipboard()->setText(unicode);
    timer.restart();
    box.paste();
    QApplication::processEvents();
    QTest::keyClicks(&box, "!");  // and it takes typing at once
    QApplication::processEvents();
    const qint64 pasting = timer.elapsed();
    EXPECT_GT(box.document()->blockCount(), static_cast<int>(size / LongTextEdit::kSoftLineLength / 2));
    EXPECT_TRUE(box.GbkText() == line + "!");  // no cut inside what goes on the wire
    EXPECT_LT(pasting, 3 * writing + 200) << "writing took " << writing << " ms";
  }
}

TEST(EventLatency, ASlowBodyNeverHoldsTheWindowUp) {
  // 8 MiB in 4 KiB pieces, with pauses of up to 300 ms between bursts.
  testing::ScriptedServer server([](const std::string&, testing::Reply& reply) {
    const size_t size = 8u << 20;
    reply.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n");
    const std::string piece(4096, 'p');
    for (size_t sent = 0; sent < size; sent += piece.size()) {
      if (!reply.Send(piece)) break;
      if (sent % (1u << 20) == 0) reply.Sleep(std::chrono::milliseconds(sent == (4u << 20) ? 300 : 30));
    }
    reply.Close();
  });
  const testing::ScopedSetting pump(SetEventPump, [] { QCoreApplication::processEvents(); });
  const qint64 idle = IdleTickGap();
  Bytes body;
  const qint64 worst = testing::WorstTickGap([&] { body = FetchPage(server.Url("/slow")); });
  EXPECT_EQ(body.size(), 8u << 20);
  EXPECT_LT(worst, kLatencyMargin + 2 * idle) << "idle gap " << idle << " ms";
}

TEST(EventLatency, AServerThatThinksNeverHoldsTheWindowUp) {
  // Three seconds pass between the request and the first byte of the answer.
  testing::ScriptedServer server([](const std::string&, testing::Reply& reply) {
    reply.Sleep(std::chrono::seconds(3));
    reply.Send(testing::Response("thought it over"));
    reply.Close();
  });
  const testing::ScopedSetting pump(SetEventPump, [] { QCoreApplication::processEvents(); });
  const qint64 idle = IdleTickGap();
  HttpSession session;
  Bytes body;
  const qint64 worst = testing::WorstTickGap([&] { body = session.PostHttp(server.Url("/think"), "a=1"); });
  EXPECT_EQ(body, "thought it over");
  EXPECT_LT(worst, kLatencyMargin + 2 * idle) << "idle gap " << idle << " ms";
}

}  // namespace
}  // namespace pakeno
