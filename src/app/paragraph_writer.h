#pragma once

// How the long-line box writes a text into its document, piece by piece,
// and marks the kind of each line break, so it can give the text back as
// it came.

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <string>

#include "app/long_text_edit.h"

namespace pakeno {

using Break = LongTextEdit::Break;

constexpr int kBreakProperty = QTextFormat::UserProperty + 1;

// The kinds of the line separators in one paragraph, in order, kept only
// where one of them is not the written text's commonest kind.
struct SeparatorKinds : QTextBlockUserData {
  std::string kinds;  // one Break per separator
};

inline QTextBlockFormat FormatFor(Break kind) {
  QTextBlockFormat format;
  format.setProperty(kBreakProperty, static_cast<int>(kind));
  return format;
}

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

}  // namespace pakeno
