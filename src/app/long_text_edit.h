#pragma once

// A multi-line box that shows a body of any size at once and keeps every
// line break as it came.
//
// The text layout of QPlainTextEdit lays a paragraph out whole, so a 16 MiB
// body on one line takes seconds; this box cuts long lines, written or pasted,
// into paragraphs of at most kSoftLineLength characters, marks those cuts as
// soft, and leaves them out wherever text is taken out of the box again.
//
// A paragraph break stands for one of several line breaks: CR LF for one the
// user typed (as the platform's edit box holds it), and for one that was
// pasted whatever it was (CR LF, a lone CR or a lone LF). Each paragraph
// records the break before it in its block format, which Qt keeps with the
// first paragraph when two are joined, as "the break before" must be. A
// written text's line breaks are line separators within paragraphs, their
// kinds noted beside the paragraph where they are not the text's commonest.
//
// Until the user edits it, reading gives back exactly the bytes that were
// written, even those that are not valid GBK (only those are kept aside).

#include <QPlainTextEdit>

#include "base/types.h"

namespace pakeno {

class LongTextEdit : public QPlainTextEdit {
 public:
  static constexpr int kSoftLineLength = 4096;

  explicit LongTextEdit(QWidget* parent = nullptr);

  // A box of one line: of a pasted or dropped text it keeps the first line
  // (a trailing line break dropped), and Enter makes no new line.
  void SetSingleLine(bool singleLine) { singleLine_ = singleLine; }

  // Writes the text; the window's events run while a big one is written.
  // False when there was no memory to show it: the box is empty then.
  bool SetGbkText(const Text& text);
  // The box's text with its line breaks as the box holds them.
  Text GbkText() const;
  // The box's text as the user sees it: every line break an LF, soft cuts left out.
  QString FullText() const;

  // kUnmarked: a written paragraph whose break is the written text's commonest.
  enum class Break : int { kUnmarked = 0, kSoft, kCrLf, kCr, kLf };

 protected:
  QMimeData* createMimeDataFromSelection() const override;
  void insertFromMimeData(const QMimeData* source) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Inserts text at the cursor, its line breaks recorded and long lines cut.
  void InsertText(QTextCursor& cursor, const QString& text);
  Break BreakBefore(const QTextBlock& block) const;
  // The text from `from` to `to`; line breaks as held, or all as LF.
  QString TextBetween(int from, int to, bool heldBreaks) const;

  Text written_;               // what was last written, when it is not valid GBK
  bool keepsWritten_ = false;  // written_ holds the bytes the box cannot
  bool writtenIsCurrent_ = true;
  bool singleLine_ = false;
  bool writing_ = false;
  bool readOnlyBefore_ = false;        // as the box was before the write began
  unsigned generation_ = 0;            // counts the writes begun
  Break writtenBreak_ = Break::kCrLf;  // what an unmarked paragraph's break is
};

}  // namespace pakeno
