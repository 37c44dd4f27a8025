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

#include "base/event_pump.h"
#include "encoding/gbk.h"

using namespace Qt::Literals::StringLiterals;

namespace pakeno {
namespace {

using Break = LongTextEdit::Break;

constexpr int kBreakProperty = QTextFormat::UserProperty + 1;

// The kinds of the line separators in one paragraph, in order, kept only
// where one of them is not the written text's commonest kind.
struct SeparatorKinds : QTextBlockUserData {
  std::string kinds;  // one Break per separator
};

SeparatorKinds* KindsOf(const QTextBlock& block) { return static_cast<SeparatorKinds*>(block.userData()); }

qsizetype SeparatorsIn(QStringView text) { return text.count(QChar::LineSeparator); }

QTextBlockFormat FormatFor(Break kind) {
  QTextBlockFormat format;
  format.setProperty(kBreakProperty, static_cast<int>(kind));
  return format;
}

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

// Writes UTF-8 text into a document as it comes, piece by piece, so that a
// body of many megabytes is never held whole in a second form. Every line
// break, whatever its kind, is written as a line separator inside
// paragraphs of up to kSoftLineLength characters; the kinds other than the
// text's commonest are noted beside the paragraph. A body of a million short
// lines is neither a million paragraphs nor a million format changes, however
// its CRs and LFs alternate. Longer lines are cut into soft paragraphs.
class ParagraphWriter {
 public:
  ParagraphWriter(QTextDocument* document, Break common) : cursor_(document), common_(common) {}

  // `last`: no more text follows. Each piece is an edit of its own, so that
  // the window's events may run between two.
  void Feed(std::string_view chunk, bool last) {
    cursor_.beginEditBlock();
    carry_.append(chunk);
    std::string_view rest = carry_;
    while (true) {
      const size_t end = rest.find_first_of("\r\n");
      // A CR at the end of a chunk may be the first half of a CR LF.
      const bool splitCrLf = end != std::string_view::npos && !last && rest[end] == '\r' && end + 1 == rest.size();
      if (end == std::string_view::npos || splitCrLf) {
        rest.remove_prefix(AddPieces(rest.substr(0, splitCrLf ? end : rest.size()), last));
        break;
      }
      AddPieces(rest.substr(0, end), true);
      rest.remove_prefix(end);
      // The breaks up to the next text at once: a body may be mostly breaks.
      size_t used = 0;
      while (used < rest.size() && (rest[used] == '\r' || rest[used] == '\n')) {
        if (!last && rest[used] == '\r' && used + 1 == rest.size()) break;  // may be the first half of a CR LF
        const bool crlf = rest[used] == '\r' && used + 1 < rest.size() && rest[used + 1] == '\n';
        const Break kind = crlf ? Break::kCrLf : rest[used] == '\r' ? Break::kCr : Break::kLf;
        if (atLineStart_ && pending_ != Break::kUnmarked && paragraph_.size() < LongTextEdit::kSoftLineLength) {
          AddSeparator();  // an empty line: EndLine's work, without its calls
          pending_ = kind;
        } else {
          EndLine(kind);
        }
        used += crlf ? 2 : 1;
      }
      rest.remove_prefix(used);
      if (used == 0) break;  // a CR that may go on in the next chunk
    }
    carry_ = std::string(rest);
    if (last) Finish();
    cursor_.endEditBlock();
  }

 private:
  // Adds text of the current line in pieces of at most kSoftLineLength bytes,
  // cut between characters; unless `all`, a short remainder is left for the
  // next chunk to continue. Returns how many bytes were added.
  size_t AddPieces(std::string_view text, bool all) {
    size_t used = 0;
    while (used < text.size()) {
      const std::string_view left = text.substr(used);
      if (!all && left.size() <= LongTextEdit::kSoftLineLength + 4) break;
      size_t n = std::min<size_t>(left.size(), LongTextEdit::kSoftLineLength);
      while (n > 0 && n < left.size() && (static_cast<unsigned char>(left[n]) & 0xC0) == 0x80) --n;
      if (n == 0) n = std::min<size_t>(left.size(), LongTextEdit::kSoftLineLength);
      AddPiece(QString::fromUtf8(left.data(), static_cast<qsizetype>(n)));
      used += n;
    }
    return used;
  }

  void AddPiece(const QString& piece) {
    if (atLineStart_) {
      ApplyBreak();
    } else {
      Flush(Break::kSoft);
    }
    paragraph_.append(piece);
  }

  void EndLine(Break kind) {
    if (atLineStart_) ApplyBreak();  // an empty line
    pending_ = kind;
    atLineStart_ = true;
  }

  // The break before the line that starts now.
  void ApplyBreak() {
    atLineStart_ = false;
    if (pending_ == Break::kUnmarked) return;  // the first line
    if (paragraph_.size() < LongTextEdit::kSoftLineLength) {
      AddSeparator();
    } else {
      Flush(pending_);
    }
  }

  // The break before the line to come, as a separator within the paragraph.
  void AddSeparator() {
    paragraph_.append(QChar::LineSeparator);
    kinds_ += static_cast<char>(pending_);
    unusual_ = unusual_ || pending_ != common_;
  }

  void Flush(Break next) {
    if (!first_) cursor_.insertBlock(before_ == common_ ? QTextBlockFormat() : FormatFor(before_));
    cursor_.insertText(paragraph_);
    if (unusual_) {
      auto noted = std::make_unique<SeparatorKinds>();
      noted->kinds = std::move(kinds_);
      cursor_.block().setUserData(noted.release());  // the document owns it from here
    }
    kinds_.clear();
    unusual_ = false;
    paragraph_.clear();
    first_ = false;
    before_ = next;
  }

  void Finish() {
    if (atLineStart_) ApplyBreak();  // a text that ends with a line break ends with an empty line
    Flush(Break::kUnmarked);
  }

  QTextCursor cursor_;
  Break common_;
  std::string carry_;  // UTF-8 not written yet
  QString paragraph_;
  std::string kinds_;     // the kinds of paragraph_'s separators
  bool unusual_ = false;  // one of them is not the commonest
  bool first_ = true;
  Break before_ = Break::kUnmarked;   // the break before paragraph_
  Break pending_ = Break::kUnmarked;  // the break before the line to come
  bool atLineStart_ = true;
};

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
