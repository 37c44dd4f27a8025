#include "app/long_text_edit.h"

#include <QMimeData>
#include <QTextBlock>

#include <vector>

#include "encoding/gbk.h"

namespace pakeno {
namespace {

// Marks a paragraph that continues the one before it: no line break between them.
class SoftBreak : public QTextBlockUserData {};

bool StartsSoft(const QTextBlock& block) { return dynamic_cast<SoftBreak*>(block.userData()) != nullptr; }

}  // namespace

LongTextEdit::LongTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
  connect(document(), &QTextDocument::contentsChanged, this, [this] {
    if (!writing_) writtenIsCurrent_ = false;
  });
}

void LongTextEdit::SetGbkText(const Text& text) {
  const QString unicode = QString::fromStdString(GbkToUtf8(text));
  QString cut;
  cut.reserve(unicode.size() + unicode.size() / kSoftLineLength + 1);
  std::vector<bool> soft{false};  // per paragraph: does it continue the previous one?
  qsizetype lineLength = 0;
  for (qsizetype i = 0; i < unicode.size(); ++i) {
    const QChar c = unicode[i];
    if (c == u'\n') {
      lineLength = 0;
      soft.push_back(false);
    } else if (lineLength >= kSoftLineLength && !c.isLowSurrogate()) {
      cut.append(u'\n');
      lineLength = 0;
      soft.push_back(true);
    }
    cut.append(c);
    if (c != u'\n') ++lineLength;
  }

  writing_ = true;
  setPlainText(cut);
  size_t index = 0;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next(), ++index) {
    if (index < soft.size() && soft[index]) block.setUserData(new SoftBreak);  // the document owns it
  }
  writing_ = false;
  written_ = text;
  writtenIsCurrent_ = true;
}

QString LongTextEdit::TextBetween(int from, int to) const {
  QString text;
  QTextBlock block = document()->findBlock(from);
  for (; block.isValid() && block.position() <= to; block = block.next()) {
    const int start = std::max(from - block.position(), 0);
    const int end = std::min(to - block.position(), block.length() - 1);
    if (block.position() > from && !StartsSoft(block)) text.append(u'\n');
    if (end > start) text.append(block.text().mid(start, end - start));
  }
  return text;
}

QString LongTextEdit::FullText() const { return TextBetween(0, document()->characterCount()); }

Text LongTextEdit::GbkText() const {
  if (writtenIsCurrent_) return written_;
  return Utf8ToGbk(FullText().toStdString());
}

QMimeData* LongTextEdit::createMimeDataFromSelection() const {
  const QTextCursor cursor = textCursor();
  auto* data = new QMimeData;  // handed to the clipboard, which takes ownership
  data->setText(TextBetween(cursor.selectionStart(), cursor.selectionEnd()));
  return data;
}

}  // namespace pakeno
