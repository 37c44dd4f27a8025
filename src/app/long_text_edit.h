#pragma once

// A multi-line box that shows a body of any size at once. The text layout
// of QPlainTextEdit lays a paragraph out whole, so a 16 MiB body on one line
// takes seconds; this box cuts long lines into paragraphs of at most
// kSoftLineLength characters, marks those cuts as soft, and leaves them out
// wherever text is taken out of the box again (reading it, copying a
// selection). Until the user edits it, reading gives back exactly the bytes
// that were written, even those that are not valid GBK.

#include <QPlainTextEdit>

#include "platform/types.h"

namespace pakeno {

class LongTextEdit : public QPlainTextEdit {
 public:
  static constexpr int kSoftLineLength = 4096;

  explicit LongTextEdit(QWidget* parent = nullptr);

  void SetGbkText(const Text& text);
  Text GbkText() const;
  // The box's text as the user sees it, soft cuts left out.
  QString FullText() const;

 protected:
  QMimeData* createMimeDataFromSelection() const override;

 private:
  QString TextBetween(int from, int to) const;

  Text written_;              // what was last written, byte for byte
  bool writtenIsCurrent_ = true;
  bool writing_ = false;
};

}  // namespace pakeno
