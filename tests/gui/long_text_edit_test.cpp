#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "app/long_text_edit.h"
#include "encoding/gbk.h"

using namespace Qt::Literals::StringLiterals;

namespace pakeno {
namespace {

class LongText : public ::testing::Test {
 protected:
  void SetUp() override {
    box.resize(287, 152);
    box.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box.show();
    QApplication::processEvents();
  }
  LongTextEdit box;
};

// A body on one line, as minified pages and JSON answers come.
Text OneLine(size_t size) {
  Text text(size, 'x');
  for (size_t i = 0; i < size; i += 7) text[i] = ' ';
  for (size_t i = 3; i + 1 < size; i += 97) text.replace(i, 2, "\xB0\xA1");  // GBK 啊
  return text;
}

TEST_F(LongText, ReadsBackExactlyWhatWasWritten) {
  const Text texts[] = {"",
                        "plain",
                        "a\r\nb\rc\n\n\td",
                        "\xD6\xD0\xFF\x80 bad bytes",
                        OneLine(50'000),
                        OneLine(10'000) + "\n" + OneLine(9'000) + "\n"};
  for (const Text& text : texts) {
    box.SetGbkText(text);
    EXPECT_TRUE(box.GbkText() == text) << text.substr(0, 40);
  }
}

TEST_F(LongText, SoftCutsNeverReachTheText) {
  const Text text = OneLine(20'000) + "\nend";
  box.SetGbkText(text);
  EXPECT_GT(box.document()->blockCount(), 4);  // the long line was cut for display
  EXPECT_EQ(box.FullText(), QString::fromStdString(GbkToUtf8(text)));

  // Edited, the text is read from the box, still without the cuts.
  QTextCursor cursor(box.document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText("!");
  EXPECT_TRUE(box.GbkText() == text + "!");

  // A selection across cuts copies without them.
  box.selectAll();
  box.copy();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromStdString(GbkToUtf8(text + "!")));
}

// Puts `text` on the clipboard and pastes it at the box's cursor.
void Paste(LongTextEdit& box, const QString& text) {
  QGuiApplication::clipboard()->setText(text);
  box.paste();
}

TEST_F(LongText, LineBreaksAreKeptAsTypedOrPasted) {
  box.setFocus();
  QTest::keyClicks(&box, "a=1");
  QTest::keyClick(&box, Qt::Key_Return);
  QTest::keyClicks(&box, "b=2");
  QTest::keyClick(&box, Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
  EXPECT_EQ(box.GbkText(), "a=1\r\nb=2\r\n");  // typed: CR LF, as the platform's box holds it

  Paste(box, u"x\r\ny\rz\nw"_s);
  EXPECT_EQ(box.GbkText(), "a=1\r\nb=2\r\nx\r\ny\rz\nw");  // pasted: as pasted
  EXPECT_EQ(box.FullText(), u"a=1\nb=2\nx\ny\nz\nw"_s);    // shown and copied: the desktop's way

  // Joining two lines keeps the break before the first of them.
  QTextCursor cursor(box.document());
  cursor.setPosition(box.document()->findBlockByNumber(3).position() - 1);  // the end of "x"
  cursor.deleteChar();
  EXPECT_EQ(box.GbkText(), "a=1\r\nb=2\r\nxy\rz\nw");

  // Written text keeps its breaks through an edit, minority kinds included.
  box.SetGbkText("1\n2\n3\r4\r\n5");
  QTest::keyClick(&box, Qt::Key_End, Qt::ControlModifier);
  QTest::keyClicks(&box, "!");
  EXPECT_EQ(box.GbkText(), "1\n2\n3\r4\r\n5!");
}

TEST_F(LongText, ACarriageReturnBeforeALongLineCopiesWithoutAShift) {
  const Text text = "x\r" + Text(5000, 'A') + "end\n" + Text(9000, 'B') + "\r\n\r" + Text(4097, 'C');
  const QString shown =
      QString::fromStdString("x\n" + Text(5000, 'A') + "end\n" + Text(9000, 'B') + "\n\n" + Text(4097, 'C'));
  box.SetGbkText(text);
  EXPECT_GT(box.document()->blockCount(), 4);  // cut for display
  EXPECT_EQ(box.GbkText(), text);
  box.selectAll();
  box.copy();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), shown);
  QTest::keyClicks(&box, "");  // unchanged
  QTextCursor cursor(box.document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText("!");
  EXPECT_EQ(box.GbkText(), text + "!");
}

TEST_F(LongText, PastingALongLineIsAsQuickAsWritingIt) {
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

long StatusKiB(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key)));
  }
  return 0;
}

// Peak memory of showing a 32 MiB body, the body included, over its size.
// Each test runs in a process of its own under ctest, so nothing earlier counts.
double PeakOverBody(LongTextEdit& box, bool oneLine) {
  std::ofstream("/proc/self/clear_refs") << "5";  // restart the peak
  const long before = StatusKiB("VmRSS:");
  Text body;
  if (oneLine) {
    body = OneLine(32u << 20);
  } else {
    const Text line = OneLine(79) + "\n";  // valid GBK: no line break cuts a character
    while (body.size() < (32u << 20)) body += line;
  }
  box.SetGbkText(body);
  QApplication::processEvents();
  const long peak = StatusKiB("VmHWM:");
  EXPECT_TRUE(box.GbkText() == body);
  return static_cast<double>(peak - before) * 1024 / static_cast<double>(body.size());
}

#ifndef __SANITIZE_ADDRESS__  // the sanitizers' allocator holds freed memory back
TEST_F(LongText, ShowingABodyOnOneLineTakesAtMostFourTimesItsSize) { EXPECT_LE(PeakOverBody(box, true), 4.0); }
TEST_F(LongText, ShowingABodyInShortLinesTakesAtMostFourTimesItsSize) { EXPECT_LE(PeakOverBody(box, false), 4.0); }
#endif

TEST_F(LongText, SixteenMebibytesOnOneLineAppearWithinASecond) {
  const Text body = OneLine(16u << 20);
  QElapsedTimer timer;
  timer.start();
  box.SetGbkText(body);
  QApplication::processEvents();
  box.verticalScrollBar()->setValue(box.verticalScrollBar()->maximum());
  QApplication::processEvents();
#ifndef __SANITIZE_ADDRESS__  // the sanitizers slow everything several times over
  EXPECT_LT(timer.elapsed(), 1000);
#endif
  EXPECT_EQ(box.GbkText().size(), body.size());
}

}  // namespace
}  // namespace pakeno

#include "http/http_session.h"
#include "http/page_fetch.h"
#include "platform/event_pump.h"
#include "support/scoped_setting.h"
#include "support/scripted_server.h"
#include "support/tick_gap.h"

namespace pakeno {
namespace {

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
  Bytes body;
  const qint64 worst = testing::WorstTickGap([&] { body = FetchPage(server.Url("/slow")); });
  EXPECT_EQ(body.size(), 8u << 20);
#ifdef __SANITIZE_ADDRESS__
  EXPECT_LT(worst, 200);
#else
  EXPECT_LT(worst, 50);
#endif
}

TEST(EventLatency, AServerThatThinksNeverHoldsTheWindowUp) {
  // Three seconds pass between the request and the first byte of the answer.
  testing::ScriptedServer server([](const std::string&, testing::Reply& reply) {
    reply.Sleep(std::chrono::seconds(3));
    reply.Send(testing::Response("thought it over"));
    reply.Close();
  });
  const testing::ScopedSetting pump(SetEventPump, [] { QCoreApplication::processEvents(); });
  const qint64 idle = testing::WorstTickGap([] {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 500) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  });
  HttpSession session;
  Bytes body;
  const qint64 worst = testing::WorstTickGap([&] { body = session.PostHttp(server.Url("/think"), "a=1"); });
  EXPECT_EQ(body, "thought it over");
  EXPECT_LT(worst, 50 + 2 * idle) << "idle gap " << idle << " ms";
}

}  // namespace
}  // namespace pakeno
