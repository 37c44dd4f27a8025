#include "app/long_text_edit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QRegularExpression>
#include <QTextBlock>

#include <array>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/paragraph_writer.h"
#include "base/event_pump.h"
#include "encoding/gbk.h"

using namespace Qt::Literals::StringLiterals;

namespace pakeno {
namespace {

SeparatorKinds* KindsOf(const QTextBlock& block) { return static_cast<SeparatorKinds*>(block.userData()); }

qsizetype SeparatorsIn(QStringView text) { return text.count(QChar::LineSeparator); }

QStringView HeldForm(Break kind) {
  switch (kind) {
    case Break::kSoft:
      return u"";
    case Break::kCr:
      return u"\r";
    case Break::kLf:
      return u"\n";
    case Break::kCrLf:
    case Break::kUnmarked:
      break;
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
  // An edit that takes line separators out of a paragraph, or puts some in,
  // moves the noted kinds of those after it along.
  connect(document(), &QTextDocument::contentsChange, this, [this](int position, int, int) {
    if (writing_) return;
    const QTextBlock block = document()->findBlock(position);
    SeparatorKinds* noted = KindsOf(block);
    if (!noted) return;
    const QString content = block.text();
    const auto now = static_cast<size_t>(SeparatorsIn(content));
    const auto before = static_cast<size_t>(SeparatorsIn(QStringView(content).left(position - block.position())));
    std::string& kinds = noted->kinds;
    if (now < kinds.size()) {
      kinds.erase(std::min(before, kinds.size()), kinds.size() - now);
    } else if (now > kinds.size()) {
      kinds.insert(std::min(before, kinds.size()), now - kinds.size(), static_cast<char>(writtenBreak_));
    }
  });
}

namespace {

// Where a slice of GBK text may end: never inside a two-byte character.
size_t GbkSliceEnd(std::string_view text, size_t from, size_t size) {
  size_t i = from;
  while (i < text.size() && i - from < size) {
    const auto c = static_cast<unsigned char>(text[i]);
    i += (c >= 0x81 && c <= 0xFE) ? 2 : 1;
  }
  return std::min(i, text.size());
}

}  // namespace

bool LongTextEdit::SetGbkText(const Text& text) {
  // CR and LF never occur inside a GBK character: count them on the bytes.
  std::array<size_t, 5> counts{};
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++counts[static_cast<size_t>(Break::kLf)];
    } else if (text[i] == '\r') {
      const bool crlf = i + 1 < text.size() && text[i + 1] == '\n';
      ++counts[static_cast<size_t>(crlf ? Break::kCrLf : Break::kCr)];
      i += crlf ? 1 : 0;
    }
  }
  writtenBreak_ = Break::kCrLf;
  for (Break kind : {Break::kCr, Break::kLf}) {
    if (counts[static_cast<size_t>(kind)] > counts[static_cast<size_t>(writtenBreak_)]) writtenBreak_ = kind;
  }

  // The window's events run between two slices; one of them may write the
  // box anew, and then this write is over: the newer text wins.
  const unsigned generation = ++generation_;
  if (!writing_) readOnlyBefore_ = isReadOnly();
  writing_ = true;
  setReadOnly(true);  // nothing typed lands in a text half written
  document()->setUndoRedoEnabled(false);
  bool exact = true;
  bool written = true;
  try {
    clear();
    ParagraphWriter writer(document(), writtenBreak_);
    constexpr size_t kSlice = 1u << 20;
    size_t at = 0;
    do {
      const size_t end = GbkSliceEnd(text, at, kSlice);
      bool sliceExact = true;
      writer.Feed(GbkToUtf8(std::string_view(text).substr(at, end - at), &sliceExact), end == text.size());
      exact = exact && sliceExact;
      at = end;
      if (at < text.size()) {
        PumpEvents();
        if (generation != generation_) return true;
      }
    } while (at < text.size());
    // Text that is valid GBK reads back exactly from the box; only other
    // bytes need the written copy.
    written_ = exact ? Text() : text;
  } catch (const std::bad_alloc&) {
    // No memory to show it: the box stays empty rather than the tool ending.
    written = false;
    exact = true;
    written_.clear();
    clear();
  }
  document()->setUndoRedoEnabled(true);
  setReadOnly(readOnlyBefore_);
  writing_ = false;
  keepsWritten_ = !exact;
  writtenIsCurrent_ = true;
  return written;
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
    if (end <= start) continue;
    const QString content = block.text();
    const SeparatorKinds* noted = heldBreaks ? KindsOf(block) : nullptr;
    // Lines within a paragraph are of the written text's commonest kind, but
    // where the paragraph notes another.
    qsizetype ordinal = SeparatorsIn(QStringView(content).left(start));
    qsizetype done = start;
    for (qsizetype i = content.indexOf(QChar::LineSeparator, start); i != -1 && i < end;
         i = content.indexOf(QChar::LineSeparator, i + 1), ++ordinal) {
      text.append(QStringView(content).mid(done, i - done));
      Break kind = writtenBreak_;
      if (noted && ordinal < static_cast<qsizetype>(noted->kinds.size()))
        kind = static_cast<Break>(noted->kinds[static_cast<size_t>(ordinal)]);
      text.append(heldBreaks ? HeldForm(kind) : u"\n");
      done = i + 1;
    }
    text.append(QStringView(content).mid(done, end - done));
  }
  return text;
}

QString LongTextEdit::FullText() const { return TextBetween(0, document()->characterCount(), false); }

Text LongTextEdit::GbkText() const {
  if (writtenIsCurrent_ && keepsWritten_) return written_;
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
  QString text = source->text();
  if (singleLine_) {
    const qsizetype lineBreak = text.indexOf(QRegularExpression(u"[\r\n]"_s));
    if (lineBreak != -1) text.truncate(lineBreak);
  }
  InsertText(cursor, text);
  setTextCursor(cursor);
  ensureCursorVisible();
}

void LongTextEdit::keyPressEvent(QKeyEvent* event) {
  // A typed line break is CR LF, as the platform's edit box holds it; Shift
  // makes no other kind of break.
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && singleLine_) {
    event->ignore();
    return;
  }
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
