#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <string>

#include "app/long_text_edit.h"
#include "encoding/gbk.h"
#include "support/process_memory.h"

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

// Every line break of another kind than the one before it.
Text Alternating(size_t size) {
  Text text;
  while (text.size() < size) text += "\r\r\n\n";
  return text;
}

TEST_F(LongText, ReadsBackExactlyWhatWasWritten) {
  const Text texts[] = {"",
                        "plain",
                        "a\r\nb\rc\n\n\td",
                        "\xD6\xD0\xFF\x80 bad bytes",
                        OneLine(50'000),
                        OneLine(10'000) + "\n" + OneLine(9'000) + "\n",
                        Alternating(40'000),
                        "a\nb\nc\rd\ne\r\nf\n" + OneLine(5'000) + "\r\r\n"};
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

TEST_F(LongText, EditingAParagraphOfMixedBreaksKeepsTheOthers) {
  box.SetGbkText("a\rb\r\nc\nd\re");
  QTextCursor cursor(box.document());
  cursor.setPosition(3);  // after "a", CR, "b": delete the CR LF
  cursor.deleteChar();
  EXPECT_EQ(box.GbkText(), "a\rbc\nd\re");
}

#ifndef __SANITIZE_ADDRESS__  // the sanitizers' allocator holds freed memory back
enum class Shape { kOneLine, kLinesOf80, kAlternating };

// Peak memory of showing a 32 MiB body, the body included, over its size.
// Each test runs in a process of its own under ctest, so nothing earlier counts.
double PeakOverBody(LongTextEdit& box, Shape shape) {
  testing::RestartPeak();
  const long before = testing::StatusKiB("VmRSS:");
  Text body;
  if (shape == Shape::kOneLine) {
    body = OneLine(32u << 20);
  } else if (shape == Shape::kAlternating) {
    body = Alternating(32u << 20);
  } else {
    const Text line = OneLine(79) + "\n";  // valid GBK: no line break cuts a character
    while (body.size() < (32u << 20)) body += line;
  }
  box.SetGbkText(body);
  QApplication::processEvents();
  const long peak = testing::StatusKiB("VmHWM:");
  EXPECT_TRUE(box.GbkText() == body);
  return static_cast<double>(peak - before) * 1024 / static_cast<double>(body.size());
}

TEST_F(LongText, ShowingABodyTakesAtMostFourTimesItsSize) {
  for (const Shape shape : {Shape::kOneLine, Shape::kLinesOf80, Shape::kAlternating}) {
    EXPECT_LE(PeakOverBody(box, shape), 4.0) << static_cast<int>(shape);
  }
}
#endif

}  // namespace
}  // namespace pakeno
