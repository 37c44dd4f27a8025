#include "app/long_text_edit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>

#include <array>
#include <vector>

#include "encoding/gbk.h"

namespace pakeno {
namespace {

using Break = LongTextEdit::Break;

constexpr int kBreakProperty = QTextFormat::UserProperty + 1;

QTextBlockFormat FormatFor(Break kind) {
  QTextBlockFormat format;
  format.setProperty(kBreakProperty, static_cast<int>(kind));
  return format;
}

QStringView HeldForm(Break kind) {
  switch (kind) {
    case Break::kSoft: return u"";
    case Break::kCr: return u"\r";
    case Break::kLf: return u"\n";
    case Break::kCrLf:
    case Break::kUnmarked: break;
  }
  return u"\r\n";
}

// Splits text into paragraphs at its line breaks and at every
// kSoftLineLength characters of a longer line; `kinds[i]` is the break
// before paragraph i + 1. `column` is where the first paragraph begins.
struct Paragraphs {
  std::vector<QStringView> pieces;
  std::vector<Break> kinds;
};

Paragraphs Cut(QStringView text, qsizetype column = 0) {
  Paragraphs out;
  qsizetype start = 0;
  for (qsizetype i = 0; i < text.size();) {
    const QChar c = text[i];
    if (c == u'\r' || c == u'\n') {
      const bool crlf = c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n';
      out.pieces.push_back(text.mid(start, i - start));
      out.kinds.push_back(crlf ? Break::kCrLf : c == u'\r' ? Break::kCr : Break::kLf);
      i += crlf ? 2 : 1;
      start = i;
      column = 0;
      continue;
    }
    if (column + (i - start) >= LongTextEdit::kSoftLineLength && !c.isLowSurrogate()) {
      out.pieces.push_back(text.mid(start, i - start));
      out.kinds.push_back(Break::kSoft);
      start = i;
      column = 0;
    }
    ++i;
  }
  out.pieces.push_back(text.mid(start));
  return out;
}

}  // namespace

LongTextEdit::LongTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
  connect(document(), &QTextDocument::contentsChanged, this, [this] {
    if (!writing_) writtenIsCurrent_ = false;
  });
}

void LongTextEdit::SetGbkText(const Text& text) {
  const QString unicode = QString::fromStdString(GbkToUtf8(text));
  const Paragraphs paragraphs = Cut(unicode);

  // Most texts break their lines one way: those paragraphs stay unmarked, so
  // a body of a million lines is not a million format changes.
  std::array<size_t, 5> counts{};
  for (Break kind : paragraphs.kinds) ++counts[static_cast<size_t>(kind)];
  writtenBreak_ = Break::kCrLf;
  for (Break kind : {Break::kCr, Break::kLf}) {
    if (counts[static_cast<size_t>(kind)] > counts[static_cast<size_t>(writtenBreak_)]) writtenBreak_ = kind;
  }

  QString joined;
  joined.reserve(unicode.size() + static_cast<qsizetype>(paragraphs.kinds.size()));
  for (size_t i = 0; i < paragraphs.pieces.size(); ++i) {
    if (i > 0) joined.append(u'\n');
    joined.append(paragraphs.pieces[i]);
  }

  writing_ = true;
  setPlainText(joined);
  document()->setUndoRedoEnabled(false);
  QTextBlock block = document()->begin().next();
  for (size_t i = 0; i < paragraphs.kinds.size() && block.isValid(); ++i, block = block.next()) {
    if (paragraphs.kinds[i] != writtenBreak_) QTextCursor(block).setBlockFormat(FormatFor(paragraphs.kinds[i]));
  }
  document()->setUndoRedoEnabled(true);
  writing_ = false;
  written_ = text;
  writtenIsCurrent_ = true;
}

LongTextEdit::Break LongTextEdit::BreakBefore(const QTextBlock& block) const {
  const auto kind = static_cast<Break>(block.blockFormat().intProperty(kBreakProperty));
  return kind == Break::kUnmarked ? writtenBreak_ : kind;
}

QString LongTextEdit::TextBetween(int from, int to, bool heldBreaks) const {
  QString text;
  QTextBlock block = document()->findBlock(from);
  for (; block.isValid() && block.position() <= to; block = block.next()) {
    const int start = std::max(from - block.position(), 0);
    const int end = std::min(to - block.position(), block.length() - 1);
    if (block.position() > from) {
      const Break kind = BreakBefore(block);
      if (kind != Break::kSoft) text.append(heldBreaks ? HeldForm(kind) : u"\n");
    }
    if (end > start) text.append(QStringView(block.text()).mid(start, end - start));
  }
  return text;
}

QString LongTextEdit::FullText() const { return TextBetween(0, document()->characterCount(), false); }

Text LongTextEdit::GbkText() const {
  if (writtenIsCurrent_) return written_;
  return Utf8ToGbk(TextBetween(0, document()->characterCount(), true).toStdString());
}

QMimeData* LongTextEdit::createMimeDataFromSelection() const {
  const QTextCursor cursor = textCursor();
  auto* data = new QMimeData;  // handed to the clipboard, which takes ownership
  data->setText(TextBetween(cursor.selectionStart(), cursor.selectionEnd(), false));
  return data;
}

void LongTextEdit::InsertText(QTextCursor& cursor, const QString& text) {
  cursor.beginEditBlock();
  cursor.removeSelectedText();
  const Paragraphs paragraphs = Cut(text, cursor.positionInBlock());
  for (size_t i = 0; i < paragraphs.pieces.size(); ++i) {
    if (i > 0) cursor.insertBlock(FormatFor(paragraphs.kinds[i - 1]));
    cursor.insertText(paragraphs.pieces[i].toString());
  }
  cursor.endEditBlock();
}

void LongTextEdit::insertFromMimeData(const QMimeData* source) {
  if (!source || !source->hasText() || isReadOnly()) {
    QPlainTextEdit::insertFromMimeData(source);
    return;
  }
  QTextCursor cursor = textCursor();
  InsertText(cursor, source->text());
  setTextCursor(cursor);
  ensureCursorVisible();
}

void LongTextEdit::keyPressEvent(QKeyEvent* event) {
  // A typed line break is CR LF, as the platform's edit box holds it; Shift
  // makes no other kind of break.
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier &&
      !isReadOnly()) {
    QTextCursor cursor = textCursor();
    cursor.insertBlock(FormatFor(Break::kCrLf));
    setTextCursor(cursor);
    ensureCursorVisible();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

}  // namespace pakeno
